#include "archive/level_archive.hpp"

#include <zlib.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "archive/file_io.hpp"
#include "archive/stream_codec.hpp"

namespace levelkit {
namespace {

std::size_t slotOf(int n) { return static_cast<unsigned>(n) & (kStreamCount - 1); }

// The header layout, once for both directions.
template <class Io, class Archive>
void transferHeader(Io& io, Archive& archive) {
    transfer(io, kOpaqueAOffset, archive.opaqueA);
    transfer(io, kOpaqueBOffset, archive.opaqueB);
    transfer(io, kOpaqueCOffset, archive.opaqueC);
    transfer(io, kOpaqueDOffset, archive.opaqueD);
    transfer(io, kOpaqueEOffset, archive.opaqueE);
    transfer(io, kVersionOffset, archive.version);
    transfer(io, kDeclaredSizeOffset, archive.declaredSize);
    transfer(io, kChecksumOffset, archive.checksum);
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        const std::size_t entry = kStreamTableOffset + i * kStreamEntrySize;
        transfer(io, entry, archive.streams[i].compressedSize);
        transfer(io, entry + 4, archive.streams[i].uncompressedSize);
    }
}

bool reportShortFile(const std::string& path, std::uint64_t length, std::uint64_t needed) {
    std::printf("Failed to load file: %s (it holds %llu bytes, its header and streams need %llu)\n",
                path.c_str(), static_cast<unsigned long long>(length),
                static_cast<unsigned long long>(needed));
    return false;
}

bool reportReadError(const std::string& path, int error) {
    std::printf("Failed to load file: %s (%s)\n", path.c_str(), std::strerror(error));
    return false;
}

}  // namespace

bool readLevelFile(LevelArchive& archive, const std::string& path) {
    const FilePtr file = openFile(path, "rb");
    if (!file) {
        std::printf("Failed to load file: %s\n", path.c_str());
        return false;
    }
    const std::optional<std::uint64_t> length = fileLength(file.get());
    if (!length) {
        return reportReadError(path, errno);
    }
    if (*length < kHeaderSize) {
        return reportShortFile(path, *length, kHeaderSize);
    }
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!readExactly(file.get(), header)) {
        return reportReadError(path, std::ferror(file.get()) ? errno : EIO);
    }
    LevelArchive read;
    ByteReader reader{header};
    transferHeader(reader, read);
    assert(reader.ok);

    std::uint64_t needed = kHeaderSize;
    for (const StreamEntry& entry : read.streams) {
        needed += entry.compressedSize;
    }
    if (*length < needed) {
        return reportShortFile(path, *length, needed);
    }
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        Bytes data(read.streams[i].compressedSize);
        if (!readExactly(file.get(), data)) {
            // A read error, or the file shrank between measuring and reading it.
            return reportReadError(path, std::ferror(file.get()) ? errno : EIO);
        }
        read.streamData[i] = std::move(data);
    }
    archive = std::move(read);
    std::printf("Level %s loaded.\n", path.c_str());
    return true;
}

std::array<std::uint8_t, kHeaderSize> encodeHeader(const LevelArchive& archive) {
    std::array<std::uint8_t, kHeaderSize> header{};
    ByteWriter writer{header};
    transferHeader(writer, archive);
    assert(writer.ok);
    return header;
}

bool writeLevelFile(const LevelArchive& archive, const std::string& path) {
    const std::array<std::uint8_t, kHeaderSize> header = encodeHeader(archive);
    std::array<std::span<const std::uint8_t>, 1 + kStreamCount> pieces{header};
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        assert(archive.streamData[i] && "a level is written only while its streams are held");
        pieces[1 + i] = *archive.streamData[i];
    }
    return replaceFile(path, pieces);
}

void updateChecksum(LevelArchive& archive) {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (const std::optional<Bytes>& data : archive.streamData) {
        // crc32 restarts from 0 when handed a null buffer, so an empty stream is skipped.
        if (data && !data->empty()) {
            crc = crc32(crc, data->data(), static_cast<uInt>(data->size()));
        }
    }
    archive.checksum = static_cast<std::uint32_t>(crc);
}

void updateDeclaredSize(LevelArchive& archive) {
    std::uint32_t size = kHeaderSize;
    for (const StreamEntry& entry : archive.streams) {
        size += entry.compressedSize;
    }
    archive.declaredSize = size;
}

bool compressStream(LevelArchive& archive, int n, std::span<const std::uint8_t> data) {
    const std::size_t slot = slotOf(n);
    if (data.empty() || data.size() > std::numeric_limits<std::uint32_t>::max()) {
        std::puts("Bad input for compression!\n");
        return false;
    }
    std::optional<Bytes> compressed = deflateStream(data);
    if (!compressed) {
        std::printf("An error occurred while compressing stream%i!\n", static_cast<int>(slot));
        return false;
    }
    archive.streams[slot].compressedSize = static_cast<std::uint32_t>(compressed->size());
    archive.streams[slot].uncompressedSize = static_cast<std::uint32_t>(data.size());
    archive.streamData[slot] = std::move(compressed);
    return true;
}

std::optional<Bytes> decompressStream(LevelArchive& archive, int n) {
    const std::size_t slot = slotOf(n);
    StreamEntry& entry = archive.streams[slot];
    std::optional<Bytes> decoded;
    if (archive.streamData[slot]) {
        decoded = inflateStream(*archive.streamData[slot], entry.uncompressedSize);
    }
    if (!decoded) {
        std::printf("An error occurred while uncompressing stream%i!\n", static_cast<int>(slot));
        return std::nullopt;
    }
    entry.uncompressedSize = static_cast<std::uint32_t>(decoded->size());
    return decoded;
}

void releaseStreams(LevelArchive& archive) {
    for (std::optional<Bytes>& data : archive.streamData) {
        data.reset();
    }
}

}  // namespace levelkit

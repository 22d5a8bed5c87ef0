#include "level_builder.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace levelgen {

std::uint32_t getLE(const Bytes& bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | bytes.at(offset + i);
    }
    return value;
}

void putLE(Bytes& bytes, std::size_t offset, std::size_t width, std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

Bytes compress(const Bytes& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
        std::abort();
    }
    out.resize(length);
    return out;
}

std::optional<Bytes> decompress(const Bytes& compressed, std::size_t expectedSize) {
    Bytes out(expectedSize);
    uLongf length = static_cast<uLongf>(expectedSize);
    if (uncompress(out.data(), &length, compressed.data(), static_cast<uLong>(compressed.size())) !=
        Z_OK) {
        return std::nullopt;
    }
    out.resize(length);
    return out;
}

std::uint32_t crc32Of(const Bytes& data) {
    // Bitwise CRC-32 (reflected, polynomial 0xEDB88320), independent of the library's zlib call.
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

Bytes buildLevel(const LevelParts& parts) {
    Bytes header(kHeaderSize, 0);
    std::copy(parts.opaque.begin(), parts.opaque.end(), header.begin());
    putLE(header, 220, 2, parts.version);
    Bytes body;
    for (std::size_t i = 0; i < 4; ++i) {
        const StreamPart& stream = parts.streams[i];
        const Bytes data = stream.compressed ? *stream.compressed : compress(stream.decoded);
        putLE(header, 230 + 8 * i, 4,
              stream.recordedCompressedSize.value_or(static_cast<std::uint32_t>(data.size())));
        putLE(header, 234 + 8 * i, 4,
              stream.recordedUncompressedSize.value_or(
                  static_cast<std::uint32_t>(stream.decoded.size())));
        body.insert(body.end(), data.begin(), data.end());
    }
    putLE(header, 222, 4,
          parts.declaredSize.value_or(static_cast<std::uint32_t>(kHeaderSize + body.size())));
    putLE(header, 226, 4, parts.checksum.value_or(crc32Of(body)));
    Bytes file(header.size() + body.size() + parts.trailing.size());
    auto end = std::copy(header.begin(), header.end(), file.begin());
    end = std::copy(body.begin(), body.end(), end);
    std::copy(parts.trailing.begin(), parts.trailing.end(), end);
    if (parts.cutAt && *parts.cutAt < file.size()) {
        file.resize(*parts.cutAt);
    }
    return file;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "level builder: cannot write %s\n", path.c_str());
        std::abort();
    }
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes pseudoRandomBytes(std::size_t count, std::uint32_t seed) {
    Bytes out(count);
    std::uint32_t state = seed ? seed : 1;
    for (std::uint8_t& byte : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

namespace {

std::size_t tileCountOf(std::uint16_t version) { return version == kLargeVersion ? 4096 : 1024; }
std::size_t animationCountOf(std::uint16_t version) { return version == kLargeVersion ? 256 : 128; }

}  // namespace

std::size_t infoSize(std::uint16_t version) {
    return 8813 + 7 * tileCountOf(version) + 137 * animationCountOf(version) + 512;
}

std::size_t animRecordOffset(std::uint16_t version, std::size_t record) {
    return 8813 + 7 * tileCountOf(version) + 137 * record;
}

Bytes makeLevelInfo(const InfoParts& parts) {
    const std::size_t size = infoSize(parts.version);
    Bytes info = parts.opaqueSeed ? pseudoRandomBytes(size, parts.opaqueSeed) : Bytes(size, 0);
    putLE(info, kAnimCountOffset, 2, parts.animCount);
    putLE(info, kEventWidthOffset, 4, parts.eventWidth);
    putLE(info, kEventHeightOffset, 4, parts.eventHeight);
    for (std::size_t a = 0; a < parts.animations.size(); ++a) {
        const std::size_t at = animRecordOffset(parts.version, a);
        info.at(at + 8) = parts.animations[a].frameCount;
        for (std::size_t f = 0; f < 64; ++f) {
            putLE(info, at + 9 + 2 * f, 2, parts.animations[a].frames[f]);
        }
    }
    return info;
}

Bytes makeEventMap(std::uint32_t width, std::uint32_t height,
                   const std::vector<std::pair<std::size_t, std::uint32_t>>& cells) {
    Bytes map(std::size_t{width} * height * 4, 0);
    for (const auto& [index, word] : cells) {
        putLE(map, index * 4, 4, word);
    }
    return map;
}

Bytes makeDictionary(const std::vector<std::array<std::uint16_t, 4>>& entries) {
    Bytes out(entries.size() * 8, 0);
    for (std::size_t e = 0; e < entries.size(); ++e) {
        for (std::size_t i = 0; i < 4; ++i) {
            putLE(out, e * 8 + i * 2, 2, entries[e][i]);
        }
    }
    return out;
}

LevelParts sampleLevel(std::uint16_t version) {
    LevelParts parts;
    parts.version = version;
    const Bytes opaque = pseudoRandomBytes(parts.opaque.size(), 7);
    std::copy(opaque.begin(), opaque.end(), parts.opaque.begin());

    InfoParts info;
    info.version = version;
    info.animCount = 2;
    info.eventWidth = 16;
    info.eventHeight = 8;
    info.opaqueSeed = 11;
    AnimPart spin;
    spin.frameCount = 3;
    spin.frames = {1, 2, 3, 1};  // the fourth frame is beyond frameCount
    AnimPart flag;
    flag.frameCount = 2;
    flag.frames = {static_cast<std::uint16_t>(5 | 0x8000), 6};
    info.animations = {spin, flag};
    parts.streams[0].decoded = makeLevelInfo(info);

    // One trigger crate, one robot boss with two texts, two warps, some scenery.
    parts.streams[1].decoded = makeEventMap(16, 8,
                                            {{3, 95 | (3u << 12)},
                                             {20, 201 | (2u << 12) | (1u << 16)},
                                             {40, 230 | (7u << 12)},
                                             {41, 230 | (5u << 12)},
                                             {60, 21},
                                             {61, 21},
                                             {100, 45}});
    parts.streams[2].decoded = makeDictionary({{0, 1, 2, 3}, {1, 5, 1, 2}, {4, 5, 6, 0x4007}});
    parts.streams[3].decoded = pseudoRandomBytes(300, 3);
    return parts;
}

}  // namespace levelgen

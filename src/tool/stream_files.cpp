#include "tool/stream_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

#include "archive/bytes.hpp"
#include "archive/file_io.hpp"
#include "archive/level_archive.hpp"

namespace levelkit {
namespace {

// A raw stream file's contents, or why there are none.
enum class RawRead { Read, Missing, Failed };

RawRead readRawStream(const std::string& name, int stream, Bytes& out) {
    const FilePtr file = openFile(name, "rb");
    if (!file) {
        return RawRead::Missing;
    }
    const std::optional<std::uint64_t> length = fileLength(file.get());
    if (!length) {
        std::printf("Failed to read file: %s (%s)\n", name.c_str(), std::strerror(errno));
        return RawRead::Failed;
    }
    // A stream records its decoded length in 32 bits.
    if (*length > std::numeric_limits<std::uint32_t>::max()) {
        std::printf("Raw stream file %s holds %llu bytes, more than a stream %i can hold!\n",
                    name.c_str(), static_cast<unsigned long long>(*length), stream);
        return RawRead::Failed;
    }
    out = Bytes(static_cast<std::size_t>(*length));
    if (!readExactly(file.get(), out)) {
        std::printf("Failed to read file: %s\n", name.c_str());
        return RawRead::Failed;
    }
    return RawRead::Read;
}

}  // namespace

std::string rawStreamFileName(const std::string& levelPath, int stream) {
    return levelPath + ".data" + static_cast<char>('0' + stream);
}

bool splitLevel(const std::string& levelPath) {
    LevelArchive archive;
    if (!readLevelFile(archive, levelPath)) {
        return false;
    }
    bool result = true;
    for (int i = 0; i < static_cast<int>(kStreamCount); ++i) {
        const std::optional<Bytes> decoded = decompressStream(archive, i);
        if (!decoded) {
            std::printf("An error occurred while uncompressing stream %i!\n", i);
            result = false;
            continue;
        }
        const std::span<const std::uint8_t> pieces[] = {*decoded};
        result = replaceFile(rawStreamFileName(levelPath, i), pieces) && result;
    }
    releaseStreams(archive);
    return result;
}

bool fuseLevel(const std::string& levelPath) {
    LevelArchive archive;
    if (!readLevelFile(archive, levelPath)) {
        return false;
    }
    bool result = true;
    for (int i = 0; i < static_cast<int>(kStreamCount); ++i) {
        Bytes raw;
        switch (readRawStream(rawStreamFileName(levelPath, i), i, raw)) {
            case RawRead::Missing:
                std::printf("Couldn't find stream %i!\n", i);
                continue;
            case RawRead::Failed:
                std::printf("An error occurred while compressing stream %i!\n", i);
                result = false;
                continue;
            case RawRead::Read:
                break;
        }
        if (!compressStream(archive, i, raw)) {
            std::printf("An error occurred while compressing stream %i!\n", i);
            result = false;
        }
    }
    updateChecksum(archive);
    updateDeclaredSize(archive);
    result = writeLevelFile(archive, levelPath) && result;
    releaseStreams(archive);
    return result;
}

}  // namespace levelkit

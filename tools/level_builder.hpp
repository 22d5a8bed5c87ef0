// Builds level files from parts, for the tests, the demo, the benchmarks and the fuzz corpora.
//
// It writes the format from its own description, independently of the library, so that a test can
// check the library against it. Every part can lie: stream-table sizes, checksum, declared size,
// compressed bytes given as they are, bytes after the last stream, a file cut short.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace levelgen {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderSize = 262;
constexpr std::uint16_t kSmallVersion = 0x202;
constexpr std::uint16_t kLargeVersion = 0x203;

struct StreamPart {
    Bytes decoded;                    // compressed at level 9 unless `compressed` is given
    std::optional<Bytes> compressed;  // written as it is
    std::optional<std::uint32_t> recordedCompressedSize;
    std::optional<std::uint32_t> recordedUncompressedSize;
};

struct LevelParts {
    std::array<std::uint8_t, 220> opaque{};  // header bytes 0 to 219
    std::uint16_t version = kSmallVersion;
    std::array<StreamPart, 4> streams;
    std::optional<std::uint32_t> checksum;      // default: the true CRC-32 of the streams
    std::optional<std::uint32_t> declaredSize;  // default: the true length without `trailing`
    Bytes trailing;                             // bytes after stream 3
    std::optional<std::size_t> cutAt;           // keep only this many bytes of the file
};

Bytes buildLevel(const LevelParts& parts);

Bytes compress(const Bytes& data);
std::optional<Bytes> decompress(const Bytes& compressed, std::size_t expectedSize);
std::uint32_t crc32Of(const Bytes& data);

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// Little-endian fields of a byte buffer.
std::uint32_t getLE(const Bytes& bytes, std::size_t offset, std::size_t width);
void putLE(Bytes& bytes, std::size_t offset, std::size_t width, std::uint32_t value);

// Stream 0 in the layout of `version`.
struct AnimPart {
    std::uint8_t frameCount = 0;
    std::array<std::uint16_t, 64> frames{};
};

struct InfoParts {
    std::uint16_t version = kSmallVersion;
    std::uint16_t animCount = 0;
    std::vector<AnimPart> animations;  // records 0, 1, ...; the rest are zero
    std::uint32_t eventWidth = 0;
    std::uint32_t eventHeight = 0;
    std::uint32_t opaqueSeed = 0;  // 0: opaque bytes are zero; otherwise pseudo-random
};

std::size_t infoSize(std::uint16_t version);
std::size_t animRecordOffset(std::uint16_t version, std::size_t record);
constexpr std::size_t kAnimCountOffset = 11;
constexpr std::size_t kEventWidthOffset = 8463;
constexpr std::size_t kEventHeightOffset = 8527;
Bytes makeLevelInfo(const InfoParts& parts);

// Stream 1: width x height little-endian words, zero except the cells given as (index, word).
Bytes makeEventMap(std::uint32_t width, std::uint32_t height,
                   const std::vector<std::pair<std::size_t, std::uint32_t>>& cells);

// Stream 2: entries of four tile references.
Bytes makeDictionary(const std::vector<std::array<std::uint16_t, 4>>& entries);

// A complete, valid level of the given version with a little of everything in it.
LevelParts sampleLevel(std::uint16_t version);

// Deterministic pseudo-random bytes.
Bytes pseudoRandomBytes(std::size_t count, std::uint32_t seed);

}  // namespace levelgen

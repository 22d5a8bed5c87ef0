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

// A large-layout level sized like a busy real one: every animation record in use with 64 frames,
// a full 4096-entry dictionary, and an event map of `side` x `side` cells of which about one in
// twenty holds an event, of every identifier kind.
LevelParts benchLevel(std::uint32_t side);

// A `width` x `height` event map of which about `percent` in a hundred cells hold events of
// mixed types with random identifiers.
Bytes sparseEventMap(std::uint32_t width, std::uint32_t height, std::uint32_t percent,
                     std::uint32_t seed);

// A swap-list file of `pairs` pairs of large-layout tile numbers.
std::string swapListText(std::size_t pairs, std::uint32_t seed);

// Hand-made zlib-format streams, bit by bit, for the corners of the deflate format where decoders
// part ways: block headers that declare reserved symbols, incomplete Huffman codes whose unused
// codewords the data then uses, bad code-length repeats, reserved fixed-code symbols, stored
// blocks, distances reaching before the start. Each carries the bytes a lenient decoder would
// produce (the Adler-32 trailer is theirs) and whether zlib reads it.
struct HandmadeStream {
    std::string name;
    Bytes stream;
    Bytes lenientOutput;
    bool zlibReads = false;
};
std::vector<HandmadeStream> handmadeStreams();

}  // namespace levelgen

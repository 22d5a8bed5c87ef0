// The level file: a packed 262-byte header followed by four zlib-format streams.
//
//   offset  width  field
//        0    180  opaqueA       carried byte for byte, never interpreted
//      180      4  opaqueB       "
//      184      3  opaqueC       "
//      187      1  opaqueD       "
//      188     32  opaqueE       "
//      220      2  version       0x203 selects the large layout of the decoded streams
//      222      4  declaredSize  262 + the four compressed sizes
//      226      4  checksum      CRC-32 of the four compressed streams, in order
//      230     32  streams       four StreamEntry values: compressedSize, uncompressedSize
//      262         stream 0, 1, 2, 3, back to back; anything after stream 3 is not part of the level
//
// All integers are little-endian. Nothing in the header is validated on read; the checksum and the
// declared size are recomputed before every write.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive/bytes.hpp"

namespace levelkit {

inline constexpr std::size_t kStreamCount = 4;

inline constexpr std::size_t kOpaqueAOffset = 0;
inline constexpr std::size_t kOpaqueBOffset = 180;
inline constexpr std::size_t kOpaqueCOffset = 184;
inline constexpr std::size_t kOpaqueDOffset = 187;
inline constexpr std::size_t kOpaqueEOffset = 188;
inline constexpr std::size_t kVersionOffset = 220;
inline constexpr std::size_t kDeclaredSizeOffset = 222;
inline constexpr std::size_t kChecksumOffset = 226;
inline constexpr std::size_t kStreamTableOffset = 230;
inline constexpr std::size_t kStreamEntrySize = 8;
inline constexpr std::size_t kHeaderSize = 262;
static_assert(kStreamTableOffset + kStreamCount * kStreamEntrySize == kHeaderSize);

struct StreamEntry {
    std::uint32_t compressedSize = 0;    // the stream's length in the file
    std::uint32_t uncompressedSize = 0;  // the length it decodes to, as far as is known
};

struct LevelArchive {
    std::array<std::uint8_t, kOpaqueBOffset - kOpaqueAOffset> opaqueA{};
    std::array<std::uint8_t, kOpaqueCOffset - kOpaqueBOffset> opaqueB{};
    std::array<std::uint8_t, kOpaqueDOffset - kOpaqueCOffset> opaqueC{};
    std::uint8_t opaqueD = 0;
    std::array<std::uint8_t, kVersionOffset - kOpaqueEOffset> opaqueE{};
    std::uint16_t version = 0;
    std::uint32_t declaredSize = 0;
    std::uint32_t checksum = 0;
    std::array<StreamEntry, kStreamCount> streams{};
    // Compressed bytes of each stream; each holds exactly its entry's compressedSize bytes.
    std::array<std::optional<Bytes>, kStreamCount> streamData;
};

// Reads the whole level. On success prints "Level <path> loaded." and fills every stream slot.
// Fails, leaving the archive as it was, when the file cannot be opened ("Failed to load file:
// <path>") or is shorter than its header and the compressed sizes it records (the same line, with
// the lengths); no buffer is sized from the header before it is checked against the file.
bool readLevelFile(LevelArchive& archive, const std::string& path);

// Writes the header exactly as it stands in memory and the four streams, through `replaceFile`:
// on failure the old file is untouched and the reason has been printed.
bool writeLevelFile(const LevelArchive& archive, const std::string& path);

// The header as it stands in memory, in file layout.
std::array<std::uint8_t, kHeaderSize> encodeHeader(const LevelArchive& archive);

void updateChecksum(LevelArchive& archive);
void updateDeclaredSize(LevelArchive& archive);

// Replaces stream `n % 4` with a fresh compression of `data`; its uncompressedSize becomes the size
// of `data`. Fails, leaving the slot as it was, on empty data ("Bad input for compression!") or
// when the compressor fails.
bool compressStream(LevelArchive& archive, int n, std::span<const std::uint8_t> data);

// Decodes stream `n % 4` into a new buffer. Fails when the stream is damaged, truncated or decodes
// to more than its recorded uncompressedSize; when it decodes to less, the recorded size drops to
// the real length. The compressed bytes never change.
std::optional<Bytes> decompressStream(LevelArchive& archive, int n);

// Frees the four compressed buffers; calling it again frees nothing.
void releaseStreams(LevelArchive& archive);

}  // namespace levelkit

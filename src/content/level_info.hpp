// Stream 0, the level information: one fixed-size record whose length and inner offsets depend on
// the layout that the header version selects.
//
//   offset (small / large)  content
//        0                  opaque head (four u16, three u8)
//       11                  animCount, u16: animation records in use
//       13                  opaque (u8, u8, u32, six 32-byte blocks, 8192 bytes, 32 bytes, four u32)
//     8451                  layerWidth, 8 x u32; entry 3 is the event map's width
//     8483                  opaque, 8 x u32
//     8515                  layerHeight, 8 x u32; entry 3 is the event map's height
//     8547                  opaque (8 x u32, 8 x u8, nine arrays of 8 x u32, u16)
//     8813                  tileWords, T x u32
//    12909 / 25197          tileBytes1, T x u8
//    13933 / 29293          tileBytes2, T x u8
//    14957 / 33389          tileBytes3, T x u8
//    15981 / 37485          A animation records of 137 bytes
//    33517 / 72557          trailing block, 512 bytes
//    34029 / 73069          end
//
// Only animCount, the animation frames and entry 3 of the two layer arrays are interpreted; every
// other byte is carried so that parsing and storing give back the same stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/level_archive.hpp"

namespace levelkit {

struct Layout {
    std::uint32_t tileCount;       // T
    std::uint32_t animationCount;  // A, the animation records in the stream
    std::uint16_t tileMask;        // the tile-number bits of a TileRef
    std::size_t infoSize;          // decoded length of stream 0
};

inline constexpr std::uint16_t kLargeLayoutVersion = 0x203;
inline constexpr std::size_t kLayerCount = 8;
inline constexpr std::size_t kEventLayer = 3;  // the layer array entry that sizes the event map

inline constexpr std::size_t kAnimCountOffset = 11;
inline constexpr std::size_t kOpaqueMiddleOffset = 13;
inline constexpr std::size_t kLayerWidthOffset = 8451;
inline constexpr std::size_t kOpaqueLayerOffset = 8483;
inline constexpr std::size_t kLayerHeightOffset = 8515;
inline constexpr std::size_t kOpaqueTailOffset = 8547;
inline constexpr std::size_t kTileWordsOffset = 8813;
inline constexpr std::size_t kTrailingBlockSize = 512;

inline constexpr std::size_t kAnimRecordSize = 137;
inline constexpr std::size_t kAnimFrameCountOffset = 8;
inline constexpr std::size_t kAnimFramesOffset = 9;
inline constexpr std::size_t kMaxFrames = 64;
inline constexpr std::size_t kMaxAnimations = 256;
static_assert(kAnimFramesOffset + kMaxFrames * 2 == kAnimRecordSize);

constexpr std::size_t infoSizeFor(std::size_t tileCount, std::size_t animationCount) {
    return kTileWordsOffset + 7 * tileCount + kAnimRecordSize * animationCount +
           kTrailingBlockSize;
}

inline constexpr Layout kSmallLayout{1024, 128, 0x3FF, infoSizeFor(1024, 128)};
inline constexpr Layout kLargeLayout{4096, 256, 0xFFF, infoSizeFor(4096, 256)};
static_assert(kSmallLayout.infoSize == 34029 && kLargeLayout.infoSize == 73069);

// 0x203 selects the large layout, every other version the small one.
constexpr const Layout& layoutFor(std::uint16_t version) {
    return version == kLargeLayoutVersion ? kLargeLayout : kSmallLayout;
}

using TileRef = std::uint16_t;

struct AnimRecord {
    std::array<std::uint16_t, 3> opaqueWords{};
    std::array<std::uint8_t, 2> opaqueBytes{};
    std::uint8_t frameCount = 0;  // frames in use
    std::array<TileRef, kMaxFrames> frames{};
};

struct LevelInfo {
    std::array<std::uint8_t, kAnimCountOffset> opaqueHead{};
    std::uint16_t animCount = 0;  // animation records in use
    std::array<std::uint8_t, kLayerWidthOffset - kOpaqueMiddleOffset> opaqueMiddle{};
    std::array<std::uint32_t, kLayerCount> layerWidth{};
    std::array<std::uint32_t, kLayerCount> opaqueLayer{};
    std::array<std::uint32_t, kLayerCount> layerHeight{};
    std::array<std::uint8_t, kTileWordsOffset - kOpaqueTailOffset> opaqueTail{};
    // Per-tile arrays of T entries each; empty while not allocated.
    std::vector<std::uint32_t> tileWords;
    std::vector<std::uint8_t> tileBytes1;
    std::vector<std::uint8_t> tileBytes2;
    std::vector<std::uint8_t> tileBytes3;
    // Slots beyond the layout's record count (128 in the small layout) are never read or written.
    std::array<AnimRecord, kMaxAnimations> animations{};
    std::array<std::uint8_t, kTrailingBlockSize> trailingBlock{};
};

// Decodes stream 0 of `archive` into `info` in the layout of the header version. Fails when the
// stream cannot be decoded or holds fewer bytes than its layout; then nothing is written into
// `info`. Bytes beyond the layout's length are ignored.
bool parseLevelInfo(LevelArchive& archive, LevelInfo& info);

// Serialises `info` in the archive's layout and compresses it as stream 0. On failure stream 0 is
// left as it was.
bool storeLevelInfo(const LevelInfo& info, LevelArchive& archive);

// Frees the per-tile arrays; the record itself belongs to its owner.
void releaseLevelInfo(LevelInfo& info);

}  // namespace levelkit

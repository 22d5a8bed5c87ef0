#include "content/level_info.hpp"

#include <cassert>
#include <cstdio>
#include <optional>
#include <span>

namespace levelkit {
namespace {

// The record layout, once for both directions. The per-tile arrays must already hold T entries.
template <class Io, class Info>
void transferLevelInfo(Io& io, Info& info, const Layout& layout) {
    const std::size_t tiles = layout.tileCount;
    transfer(io, 0, info.opaqueHead);
    transfer(io, kAnimCountOffset, info.animCount);
    transfer(io, kOpaqueMiddleOffset, info.opaqueMiddle);
    transfer(io, kLayerWidthOffset, info.layerWidth);
    transfer(io, kOpaqueLayerOffset, info.opaqueLayer);
    transfer(io, kLayerHeightOffset, info.layerHeight);
    transfer(io, kOpaqueTailOffset, info.opaqueTail);
    transfer(io, kTileWordsOffset, info.tileWords);
    transfer(io, kTileWordsOffset + 4 * tiles, info.tileBytes1);
    transfer(io, kTileWordsOffset + 5 * tiles, info.tileBytes2);
    transfer(io, kTileWordsOffset + 6 * tiles, info.tileBytes3);
    const std::size_t animations = kTileWordsOffset + 7 * tiles;
    for (std::size_t a = 0; a < layout.animationCount; ++a) {
        auto& record = info.animations[a];
        const std::size_t at = animations + a * kAnimRecordSize;
        transfer(io, at, record.opaqueWords);
        transfer(io, at + 6, record.opaqueBytes);
        transfer(io, at + kAnimFrameCountOffset, record.frameCount);
        transfer(io, at + kAnimFramesOffset, record.frames);
    }
    transfer(io, animations + layout.animationCount * kAnimRecordSize, info.trailingBlock);
}

void allocateTileArrays(LevelInfo& info, std::size_t tiles) {
    info.tileWords.assign(tiles, 0);
    info.tileBytes1.assign(tiles, 0);
    info.tileBytes2.assign(tiles, 0);
    info.tileBytes3.assign(tiles, 0);
}

}  // namespace

bool parseLevelInfo(LevelArchive& archive, LevelInfo& info) {
    const Layout& layout = layoutFor(archive.version);
    const std::optional<Bytes> decoded = decompressStream(archive, 0);
    if (!decoded) {
        std::printf("An error occurred while uncompressing stream 0!\n");
        return false;
    }
    if (decoded->size() < layout.infoSize) {
        std::printf("Stream 0 decodes to %zu bytes, fewer than the %zu of its layout!\n",
                    decoded->size(), layout.infoSize);
        return false;
    }
    allocateTileArrays(info, layout.tileCount);
    ByteReader reader{*decoded};
    transferLevelInfo(reader, info, layout);
    assert(reader.ok);
    return true;
}

bool storeLevelInfo(const LevelInfo& info, LevelArchive& archive) {
    const Layout& layout = layoutFor(archive.version);
    assert(info.tileWords.size() == layout.tileCount && "the record is parsed, not released");
    Bytes stream(layout.infoSize, 0);
    ByteWriter writer{stream};
    transferLevelInfo(writer, info, layout);
    assert(writer.ok);
    if (!compressStream(archive, 0, stream)) {
        std::printf("An error occurred while compressing!\n");
        return false;
    }
    return true;
}

void releaseLevelInfo(LevelInfo& info) {
    info.tileWords = {};
    info.tileBytes1 = {};
    info.tileBytes2 = {};
    info.tileBytes3 = {};
}

}  // namespace levelkit

#include "tool/tile_swap.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "archive/loaded_level.hpp"

namespace levelkit {
namespace {

// Every tile number's replacement, worked out once so that each TileRef of the level costs one
// lookup whatever the length of the list.
struct SwapTable {
    std::vector<TileRef> replacement;
    std::uint16_t tileMask;
};

SwapTable makeSwapTable(const SwapList& list, std::uint16_t tileMask) {
    SwapTable table{std::vector<TileRef>(std::size_t{tileMask} + 1), tileMask};
    for (std::size_t tile = 0; tile <= tileMask; ++tile) {
        table.replacement[tile] = static_cast<TileRef>(tile);
    }
    // Last entry first, so that what stays for each tile is its first entry's, as in applySwap; one
    // pass over the list instead of one per tile number.
    for (auto entry = list.entries.rbegin(); entry != list.entries.rend(); ++entry) {
        table.replacement[fromTile(*entry) & tileMask] =
            static_cast<TileRef>(toTile(*entry) & tileMask);
    }
    return table;
}

TileRef swapped(const SwapTable& table, TileRef value) {
    return static_cast<TileRef>(table.replacement[value & table.tileMask] |
                                (value & ~table.tileMask));
}

void swapDictionary(TileDictionary& dictionary, const SwapTable& table) {
    ByteWriter writer{*dictionary.entries};
    ByteReader reader{*dictionary.entries};
    const std::size_t refs = std::size_t{dictionary.entryCount} * kTileRefsPerEntry;
    for (std::size_t i = 0; i < refs; ++i) {
        const std::size_t offset = i * sizeof(TileRef);
        storeLE<TileRef>(writer, offset, swapped(table, loadLE<TileRef>(reader, offset)));
    }
}

// `animCount` and `frameCount` come from the file unchecked; the walk stays within the layout's
// records and the 64 frames a record has.
void swapAnimations(LevelInfo& info, const Layout& layout, const SwapTable& table) {
    const std::size_t records = std::min<std::size_t>(info.animCount, layout.animationCount);
    for (std::size_t a = 0; a < records; ++a) {
        AnimRecord& record = info.animations[a];
        const std::size_t frames = std::min<std::size_t>(record.frameCount, kMaxFrames);
        for (std::size_t f = 0; f < frames; ++f) {
            record.frames[f] = swapped(table, record.frames[f]);
        }
    }
}

}  // namespace

TileRef applySwap(TileRef value, const SwapList& list, std::uint16_t tileMask) {
    const std::uint32_t key = value & tileMask;
    for (const SwapEntry entry : list.entries) {
        if ((fromTile(entry) & tileMask) == key) {
            return static_cast<TileRef>((toTile(entry) & tileMask) | (value & ~tileMask));
        }
    }
    return value;
}

void swapTiles(const std::string& levelPath, const std::string& swapListPath) {
    const std::optional<SwapList> list = readSwapList(swapListPath);
    if (!list) {
        std::puts("Failed to load swaplist. Quitting!");
        return;
    }
    LoadedLevel level;
    if (!loadLevel(level, levelPath, LoadInfo | LoadDictionary)) {
        std::puts("Failed to load level. Quitting!");
        return;
    }
    const Layout& layout = layoutFor(level.archive.version);
    const SwapTable table = makeSwapTable(*list, layout.tileMask);
    swapDictionary(level.dictionary, table);
    swapAnimations(*level.info, layout, table);
    const bool saved = saveLevel(level, levelPath);
    releaseLevel(level);
    if (saved) {
        std::puts("Level was successfully modified!\n");
    }
}

}  // namespace levelkit

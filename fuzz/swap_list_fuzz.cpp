// Swap-list bytes through the parser and the file reader, then a tile swap with the list on a small
// generated level. The file reader must agree with the parser; a rejected list must leave the level
// untouched; an accepted one must rewrite every dictionary TileRef and every frame in use by the
// first matching entry, keeping the flag bits above the layout's tile mask.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "archive/loaded_level.hpp"
#include "content/level_info.hpp"
#include "fuzz_support.hpp"
#include "level_builder.hpp"
#include "tool/swap_list.hpp"
#include "tool/tile_swap.hpp"

namespace {

using fuzzsupport::check;

struct Sample {
    levelgen::Bytes file;
    std::vector<levelkit::TileRef> dictionary;
    std::vector<std::vector<levelkit::TileRef>> framesInUse;  // per record in use
};

// A level whose dictionary holds every tile number with some flag bits, and whose animation
// records use frames up to the layout's limits. Opaque bytes stay zero so that saving is fast.
Sample makeSample(std::uint16_t version) {
    const bool large = version == levelgen::kLargeVersion;
    const std::uint16_t mask = large ? 0xFFF : 0x3FF;
    Sample sample;
    std::vector<std::array<std::uint16_t, 4>> entries;
    for (std::uint32_t tile = 0; tile <= mask; tile += 4) {
        std::array<std::uint16_t, 4> entry{};
        for (std::uint32_t i = 0; i < 4; ++i) {
            entry[i] = static_cast<std::uint16_t>((tile + i) | ((tile * 0x9E37u) & ~mask & 0xFFFF));
            sample.dictionary.push_back(entry[i]);
        }
        entries.push_back(entry);
    }
    levelgen::InfoParts info;
    info.version = version;
    info.animCount = 3;
    for (std::uint8_t frames : {std::uint8_t{64}, std::uint8_t{0}, std::uint8_t{200}}) {
        levelgen::AnimPart record;
        record.frameCount = frames;
        for (std::size_t f = 0; f < record.frames.size(); ++f) {
            record.frames[f] = static_cast<std::uint16_t>((f * 37 + frames) & 0xFFFF);
        }
        info.animations.push_back(record);
        const std::size_t inUse = std::min<std::size_t>(frames, record.frames.size());
        sample.framesInUse.emplace_back(record.frames.begin(), record.frames.begin() + inUse);
    }
    levelgen::LevelParts parts;
    parts.version = version;
    parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    parts.streams[1].decoded = levelgen::makeEventMap(2, 2, {{0, 95}});
    parts.streams[2].decoded = levelgen::makeDictionary(entries);
    parts.streams[3].decoded = {1, 2, 3};
    sample.file = levelgen::buildLevel(parts);
    return sample;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzzsupport::kMaxInputSize) {
        return 0;
    }
    static const Sample small = makeSample(levelgen::kSmallVersion);
    static const Sample large = makeSample(levelgen::kLargeVersion);
    const fuzzsupport::Scratch& scratch = fuzzsupport::scratch();
    const std::string listPath = scratch.file("swaplist");
    const std::string levelPath = scratch.file("level");
    fuzzsupport::writeBytes(listPath, std::span(data, size));

    const std::optional<levelkit::SwapList> parsed = levelkit::parseSwapList(std::span(data, size));
    const std::optional<levelkit::SwapList> read = levelkit::readSwapList(listPath);
    check(parsed.has_value() == read.has_value() && (!parsed || parsed->entries == read->entries),
          "reading a swap-list file gives what parsing its bytes gives");
    if (parsed) {
        check(parsed->entries.size() <= size / 2, "every entry takes two numbers");
        for (const levelkit::SwapEntry entry : parsed->entries) {
            check((entry & 0xF000F000u) == 0, "an entry holds two 12-bit tile numbers");
        }
    }

    // Both layouts get their share of inputs.
    const Sample& sample = size % 2 == 0 ? small : large;
    fuzzsupport::writeBytes(levelPath, sample.file);
    levelkit::swapTiles(levelPath, listPath);
    if (!parsed) {
        check(fuzzsupport::readBytes(levelPath) == sample.file, "a rejected list leaves the level");
        return 0;
    }
    levelkit::LoadedLevel level;
    check(levelkit::loadLevel(level, levelPath, levelkit::LoadInfo | levelkit::LoadDictionary),
          "a swapped level loads");
    const std::uint16_t mask = levelkit::layoutFor(level.archive.version).tileMask;
    // The expected replacement of every tile number, worked out independently of the library:
    // entries applied from the last to the first, so that the first match is the one left.
    std::vector<std::uint16_t> replacement(std::size_t{mask} + 1);
    for (std::size_t tile = 0; tile <= mask; ++tile) {
        replacement[tile] = static_cast<std::uint16_t>(tile);
    }
    for (auto entry = parsed->entries.rbegin(); entry != parsed->entries.rend(); ++entry) {
        replacement[levelkit::fromTile(*entry) & mask] =
            static_cast<std::uint16_t>(levelkit::toTile(*entry) & mask);
    }
    const auto expected = [&](levelkit::TileRef value) {
        return static_cast<levelkit::TileRef>(replacement[value & mask] | (value & ~mask));
    };
    levelkit::ByteReader reader{*level.dictionary.entries};
    check(level.dictionary.entryCount * 4 == sample.dictionary.size(),
          "the dictionary keeps its size");
    for (std::size_t i = 0; i < sample.dictionary.size(); ++i) {
        check(levelkit::loadLE<std::uint16_t>(reader, 2 * i) == expected(sample.dictionary[i]),
              "every dictionary TileRef is swapped by the first matching entry");
    }
    for (std::size_t a = 0; a < sample.framesInUse.size(); ++a) {
        const std::vector<levelkit::TileRef>& before = sample.framesInUse[a];
        for (std::size_t f = 0; f < before.size(); ++f) {
            check(level.info->animations[a].frames[f] == expected(before[f]),
                  "every frame in use is swapped by the first matching entry");
        }
    }
    levelkit::releaseLevel(level);
    return 0;
}

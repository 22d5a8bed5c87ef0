#include "tool/tile_swap.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "level_builder.hpp"
#include "level_file_view.hpp"
#include "test_support.hpp"

namespace {

using levelgen::Bytes;
using Dictionary = std::vector<std::array<std::uint16_t, 4>>;

constexpr std::uint16_t kSmallMask = 0x3FF;
constexpr std::uint16_t kLargeMask = 0xFFF;

levelkit::SwapList listOf(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
    levelkit::SwapList list;
    for (const auto& [from, to] : pairs) {
        list.entries.push_back(levelkit::makeSwapEntry(from, to));
    }
    return list;
}

TEST(TileSwap, ApplySwapRewritesTheTileNumberAndKeepsTheFlags) {
    struct Case {
        const char* name;
        std::uint16_t mask;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
        std::uint16_t value;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {"small: bits 10 and 15 kept", kSmallMask, {{5, 9}}, 0x8405, 0x8409},
        {"small: all flag bits kept", kSmallMask, {{5, 9}}, 0xFC05, 0xFC09},
        {"small: from-value matches by its low 10 bits", kSmallMask, {{1024 + 5, 9}}, 5, 9},
        {"small: to-value counts with its low 10 bits", kSmallMask, {{5, 1024 + 3}}, 5, 3},
        {"large: bit 12 kept", kLargeMask, {{5, 9}}, 0x1005, 0x1009},
        {"large: bit 10 is part of the tile number", kLargeMask, {{5, 9}}, 0x0405, 0x0405},
        {"large: tile 1029 matches in full", kLargeMask, {{1024 + 5, 4000}}, 0x0405, 4000},
        {"large: tile 4095 with all flags", kLargeMask, {{4095, 3000}}, 0xFFFF, 0xFBB8},
        {"first match wins", kSmallMask, {{1, 2}, {1, 5}}, 1, 2},
        {"trade places: 1", kSmallMask, {{1, 2}, {2, 1}}, 1, 2},
        {"trade places: 2", kSmallMask, {{1, 2}, {2, 1}}, 2, 1},
        {"no chaining", kSmallMask, {{1, 2}, {2, 3}}, 1, 2},
        {"no match", kLargeMask, {{1, 2}}, 0x7003, 0x7003},
        {"empty list", kSmallMask, {}, 0x8001, 0x8001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(levelkit::applySwap(c.value, listOf(c.pairs), c.mask), c.expected);
    }
}

// A level in the layout of `version` with its streams as stored blocks (so a stream the save keeps
// can be told from one it compresses again) and a lying checksum and declared size.
levelgen::LevelParts levelWith(std::uint16_t version, const levelgen::InfoParts& info,
                               const Dictionary& dictionary) {
    levelgen::LevelParts parts;
    parts.version = version;
    parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    parts.streams[1].decoded = levelgen::makeEventMap(4, 2, {{0, 21}, {5, 95 | (3u << 12)}});
    parts.streams[2].decoded = levelgen::makeDictionary(dictionary);
    parts.streams[3].decoded = levelgen::pseudoRandomBytes(50, 3);
    for (levelgen::StreamPart& stream : parts.streams) {
        stream.compressed = testsupport::storedStream(stream.decoded);
    }
    parts.checksum = 1;
    parts.declaredSize = 2;
    return parts;
}

levelgen::InfoParts infoWith(std::uint16_t version, std::uint16_t animCount,
                             std::vector<levelgen::AnimPart> animations) {
    levelgen::InfoParts info;
    info.version = version;
    info.animCount = animCount;
    info.animations = std::move(animations);
    info.eventWidth = 4;
    info.eventHeight = 2;
    info.opaqueSeed = 99;
    return info;
}

levelgen::AnimPart anim(std::uint8_t frameCount, std::vector<std::uint16_t> frames) {
    levelgen::AnimPart part;
    part.frameCount = frameCount;
    std::copy(frames.begin(), frames.end(), part.frames.begin());
    return part;
}

levelgen::AnimPart filledAnim(std::uint8_t frameCount, std::uint16_t frame, std::uint16_t last) {
    levelgen::AnimPart part;
    part.frameCount = frameCount;
    part.frames.fill(frame);
    part.frames[63] = last;
    return part;
}

struct SwapRun {
    testsupport::ScratchDir dir;
    std::string level = dir.file("a.lvl");
    std::string list = dir.file("swap.txt");
};

std::string success(const std::string& level) {
    return "Level " + level + " loaded.\nLevel was successfully modified!\n\n";
}

// The saved level must carry streams 1 and 3 exactly as they were and a fresh checksum and size.
void expectKeptStreamsAndFreshHeader(const Bytes& file, const levelgen::LevelParts& original) {
    const testsupport::LevelFileView saved = testsupport::viewLevel(file);
    EXPECT_TRUE(saved.compressed[1] == *original.streams[1].compressed);
    EXPECT_TRUE(saved.compressed[3] == *original.streams[3].compressed);
    EXPECT_EQ(saved.checksum, levelgen::crc32Of(saved.body));
    EXPECT_EQ(saved.declaredSize, file.size());
}

TEST(TileSwap, RewritesDictionaryAndFramesInUseInEitherLayout) {
    // Each line of the list shows one rule: a trade of places, a first match that wins over a later
    // one, a number above the small mask, a from-value and a to-value with bits above it.
    const std::string list = "1 2\n2 1\n3 7\n3 9\n4095 3000\n1029 11\n6 1027\n";
    const Dictionary dictionary = {
        {1, 2, 3, 0x8001}, {0x0401, 0x0FFF, 0xFC05, 0x0405}, {6, 7, 0, 0x0FFF}};
    struct Case {
        std::uint16_t version;
        Dictionary dictionary;
        std::uint16_t frame0401;  // what frames of 0x0401 become
        std::uint16_t frame0FFF;
    };
    const Case cases[] = {
        {levelgen::kSmallVersion,
         {{2, 1, 7, 0x8002}, {0x0402, 0x0FB8, 0xFC0B, 0x040B}, {3, 7, 0, 0x0FB8}},
         0x0402,
         0x0FB8},
        {levelgen::kLargeVersion,
         {{2, 1, 7, 0x8002}, {0x0401, 0x0BB8, 0xFC05, 0x000B}, {0x0403, 7, 0, 0x0BB8}},
         0x0401,
         0x0BB8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        // Record 1 has no frames in use, record 2 all 64, record 3 lies beyond animCount; the
        // fourth frame of record 0 lies beyond its frameCount.
        const levelgen::InfoParts before =
            infoWith(c.version, 3,
                     {anim(3, {1, 2, 0x8003, 1}), anim(0, {1, 1}), filledAnim(64, 0x0401, 0x0FFF),
                      anim(5, {1, 1, 1, 1, 1})});
        const levelgen::InfoParts after =
            infoWith(c.version, 3,
                     {anim(3, {2, 1, 0x8007, 1}), anim(0, {1, 1}),
                      filledAnim(64, c.frame0401, c.frame0FFF), anim(5, {1, 1, 1, 1, 1})});
        const levelgen::LevelParts parts = levelWith(c.version, before, dictionary);
        SwapRun run;
        levelgen::writeFile(run.level, levelgen::buildLevel(parts));
        levelgen::writeFile(run.list, Bytes(list.begin(), list.end()));

        EXPECT_EQ(testsupport::runLevelkit({run.level, run.list}).out, success(run.level));
        const Bytes file = levelgen::readFile(run.level);
        const testsupport::LevelFileView saved = testsupport::viewLevel(file);
        EXPECT_EQ(saved.version, c.version);
        EXPECT_TRUE(testsupport::decodedStream(saved, 0) == levelgen::makeLevelInfo(after));
        EXPECT_TRUE(testsupport::decodedStream(saved, 2) == levelgen::makeDictionary(c.dictionary));
        expectKeptStreamsAndFreshHeader(file, parts);
    }
}

// animCount and frameCount come from the file unchecked: the walk stops at the layout's records and
// at 64 frames. Every frame, in use or not, and the trailing block hold tile 1, so a walk that
// strays into the next record or past the last one turns some of them into 2.
TEST(TileSwap, AnimationWalkStaysWithinTheLayout) {
    struct Case {
        std::uint16_t version;
        std::size_t records;
        std::uint16_t animCount;
        std::uint8_t frameCount;  // of the first and the last record; the others have none in use
    };
    const Case cases[] = {
        {levelgen::kSmallVersion, 128, 0xFFFF, 255},
        {levelgen::kLargeVersion, 256, 0xFFFF, 255},
        {levelgen::kLargeVersion, 256, 257, 65},
        {levelgen::kSmallVersion, 128, 0, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + ", animCount " +
                     std::to_string(c.animCount));
        const auto stream = [&](std::uint16_t swappedFrame) {
            std::vector<levelgen::AnimPart> records(c.records, filledAnim(0, 1, 1));
            records.front() = records.back() = filledAnim(c.frameCount, swappedFrame, swappedFrame);
            levelgen::InfoParts info = infoWith(c.version, c.animCount, records);
            Bytes bytes = levelgen::makeLevelInfo(info);
            for (std::size_t at = bytes.size() - 512; at < bytes.size(); at += 2) {
                levelgen::putLE(bytes, at, 2, 1);
            }
            return bytes;
        };
        levelgen::LevelParts parts =
            levelWith(c.version, infoWith(c.version, 0, {}), {{1, 1, 1, 1}});
        parts.streams[0].decoded = stream(1);
        parts.streams[0].compressed = testsupport::storedStream(parts.streams[0].decoded);
        SwapRun run;
        levelgen::writeFile(run.level, levelgen::buildLevel(parts));
        levelgen::writeFile(run.list, {'1', ' ', '2'});

        EXPECT_EQ(testsupport::runLevelkit({run.level, run.list}).out, success(run.level));
        const testsupport::LevelFileView saved =
            testsupport::viewLevel(levelgen::readFile(run.level));
        EXPECT_TRUE(testsupport::decodedStream(saved, 0) == stream(c.animCount > 0 ? 2 : 1));
    }
}

TEST(TileSwap, EmptyListStillSavesTheLevel) {
    const levelgen::InfoParts info = infoWith(levelgen::kLargeVersion, 1, {anim(2, {1, 2})});
    const levelgen::LevelParts parts = levelWith(levelgen::kLargeVersion, info, {{1, 2, 3, 4}});
    SwapRun run;
    levelgen::writeFile(run.level, levelgen::buildLevel(parts));
    levelgen::writeFile(run.list, {'\n', '7', '\n'});

    EXPECT_EQ(testsupport::runLevelkit({run.level, run.list}).out, success(run.level));
    // Streams 0 and 2 compressed again from unchanged bytes, 1 and 3 kept, header recomputed.
    levelgen::LevelParts expected = parts;
    expected.streams[0].compressed.reset();
    expected.streams[2].compressed.reset();
    expected.checksum.reset();
    expected.declaredSize.reset();
    EXPECT_TRUE(levelgen::readFile(run.level) == levelgen::buildLevel(expected));
}

// Every failure leaves the level as it was (or absent), prints the failing steps and no success
// line, and leaves no stray file behind.
TEST(TileSwap, FailuresLeaveTheLevelUntouched) {
    struct Case {
        const char* name;
        std::optional<std::string> list;         // none: no swap-list file
        void (*level)(levelgen::LevelParts&);    // null: no level file
        std::optional<std::uint64_t> sizeLimit;  // a write past it fails
        std::string expected;                    // LEVEL stands for the level's path
    };
    const auto keep = [](levelgen::LevelParts&) {};
    const Case cases[] = {
        {"missing swap list", std::nullopt, keep, std::nullopt,
         "Failed to load swaplist. Quitting!\n"},
        {"rejected swap list", "1 2\n3,4\n", keep, std::nullopt,
         "Failed to load swaplist. Quitting!\n"},
        {"no swap list and no level", std::nullopt, nullptr, std::nullopt,
         "Failed to load swaplist. Quitting!\n"},
        {"missing level", "1 2", nullptr, std::nullopt,
         "Failed to load file: LEVEL\nFailed to load level. Quitting!\n"},
        {"stream 0 damaged", "1 2",
         [](levelgen::LevelParts& p) { p.streams[0].compressed->resize(100); }, std::nullopt,
         "Level LEVEL loaded.\nAn error occurred while uncompressing stream0!\n"
         "An error occurred while uncompressing stream 0!\nFailed to load level. Quitting!\n"},
        {"stream 2 damaged", "1 2",
         [](levelgen::LevelParts& p) {
             p.streams[2].compressed = Bytes{0x78, 0xDA, 1, 2};
         },
         std::nullopt,
         "Level LEVEL loaded.\nAn error occurred while uncompressing stream2!\n"
         "An error occurred while uncompressing!\nFailed to load level. Quitting!\n"},
        {"dictionary under one entry", "1 2",
         [](levelgen::LevelParts& p) {
             p.streams[2].decoded = {1, 0, 2, 0};
             p.streams[2].compressed = testsupport::storedStream(p.streams[2].decoded);
         },
         std::nullopt,
         "Level LEVEL loaded.\nBad input for compression!\n\nAn error occurred while "
         "compressing!\n"},
        {"level cannot be written", "1 2", keep, 4096,
         "Level LEVEL loaded.\nFailed to write file: LEVEL (" + testsupport::fileSizeLimitReason() +
             ")\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SwapRun run;
        std::optional<Bytes> original;
        if (c.level) {
            levelgen::LevelParts parts =
                levelWith(levelgen::kSmallVersion,
                          infoWith(levelgen::kSmallVersion, 1, {anim(1, {1})}), {{1, 2, 3, 4}});
            c.level(parts);
            original = levelgen::buildLevel(parts);
            levelgen::writeFile(run.level, *original);
        }
        if (c.list) {
            levelgen::writeFile(run.list, Bytes(c.list->begin(), c.list->end()));
        }
        testsupport::RunOptions options;
        options.fileSizeLimit = c.sizeLimit;

        const testsupport::RunResult result =
            testsupport::runLevelkit({run.level, run.list}, options);
        std::string expected = c.expected;
        for (std::size_t at; (at = expected.find("LEVEL")) != std::string::npos;) {
            expected.replace(at, 5, run.level);
        }
        EXPECT_EQ(result.out, expected);
        EXPECT_EQ(result.status, 0);
        if (original) {
            EXPECT_TRUE(levelgen::readFile(run.level) == *original);
        }
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(run.dir.path())) {
            files.insert(entry.path().string());
        }
        std::set<std::string> expectedFiles;
        if (original) {
            expectedFiles.insert(run.level);
        }
        if (c.list) {
            expectedFiles.insert(run.list);
        }
        EXPECT_EQ(files, expectedFiles);
    }
}

}  // namespace

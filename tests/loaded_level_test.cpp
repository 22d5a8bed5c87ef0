#include "archive/loaded_level.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "level_builder.hpp"
#include "level_file_view.hpp"
#include "test_support.hpp"

namespace {

using levelgen::Bytes;
using testsupport::LevelFileView;

// The sample level with every stream written as stored blocks, so that a stream the save compresses
// again comes out different and a stream it keeps comes out the same. Its checksum and declared
// size lie, so that a save has to recompute them.
levelgen::LevelParts storedSample(std::uint16_t version) {
    levelgen::LevelParts parts = levelgen::sampleLevel(version);
    for (levelgen::StreamPart& stream : parts.streams) {
        stream.compressed = testsupport::storedStream(stream.decoded);
    }
    parts.checksum = 0x12345678;
    parts.declaredSize = 99;
    return parts;
}

Bytes bytesOf(const levelkit::Bytes& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

bool ownsNothing(const levelkit::LoadedLevel& level) {
    for (const auto& data : level.archive.streamData) {
        if (data) {
            return false;
        }
    }
    return !level.info && !level.events && !level.dictionary.entries;
}

// Loads with captured output; `out` receives what was printed.
bool load(levelkit::LoadedLevel& level, const std::string& path, unsigned flags, std::string& out) {
    testing::internal::CaptureStdout();
    const bool loaded = levelkit::loadLevel(level, path, flags);
    out = testing::internal::GetCapturedStdout();
    return loaded;
}

bool save(levelkit::LoadedLevel& level, const std::string& path, std::string& out) {
    testing::internal::CaptureStdout();
    const bool saved = levelkit::saveLevel(level, path);
    out = testing::internal::GetCapturedStdout();
    return saved;
}

TEST(LoadedLevel, FlagsDecodeOnlyTheirStreamsAndSaveKeepsTheOthersByteForByte) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    for (const std::uint16_t version : {levelgen::kSmallVersion, levelgen::kLargeVersion}) {
        // Events alone cannot be saved (see the failed-save cases), so 2 and 6 are left out.
        for (const unsigned flags : {0u, 1u, 3u, 4u, 5u, 7u}) {
            SCOPED_TRACE("version " + std::to_string(version) + ", flags " + std::to_string(flags));
            const levelgen::LevelParts parts = storedSample(version);
            levelgen::writeFile(path, levelgen::buildLevel(parts));

            levelkit::LoadedLevel level;
            std::string out;
            ASSERT_TRUE(load(level, path, flags, out));
            EXPECT_EQ(out, "Level " + path + " loaded.\n");
            ASSERT_EQ(level.info != nullptr, (flags & levelkit::LoadInfo) != 0);
            ASSERT_EQ(level.events.has_value(), (flags & levelkit::LoadEvents) != 0);
            ASSERT_EQ(level.dictionary.entries.has_value(),
                      (flags & levelkit::LoadDictionary) != 0);
            if (level.info) {
                EXPECT_EQ(level.info->animCount, 2);
                EXPECT_EQ(level.info->layerWidth[levelkit::kEventLayer], 16u);
            }
            if (level.events) {
                EXPECT_TRUE(bytesOf(*level.events) == parts.streams[1].decoded);
            }
            if (level.dictionary.entries) {
                EXPECT_TRUE(bytesOf(*level.dictionary.entries) == parts.streams[2].decoded);
                EXPECT_EQ(level.dictionary.entryCount, 3u);
            }

            ASSERT_TRUE(save(level, path, out));
            EXPECT_EQ(out, "");
            levelkit::releaseLevel(level);
            levelkit::releaseLevel(level);
            EXPECT_TRUE(ownsNothing(level));

            const Bytes file = levelgen::readFile(path);
            const LevelFileView saved = testsupport::viewLevel(file);
            EXPECT_EQ(saved.declaredSize, file.size());
            EXPECT_EQ(saved.checksum, levelgen::crc32Of(saved.body));
            for (std::size_t n = 0; n < 4; ++n) {
                SCOPED_TRACE("stream " + std::to_string(n));
                const bool decoded = n < 3 && (flags & (1u << n)) != 0;
                if (decoded) {
                    EXPECT_TRUE(saved.compressed[n] ==
                                levelgen::compress(parts.streams[n].decoded));
                } else {
                    EXPECT_TRUE(saved.compressed[n] == *parts.streams[n].compressed);
                }
                EXPECT_EQ(saved.uncompressedSize[n], parts.streams[n].decoded.size());
            }
            if (flags == 0) {
                levelgen::LevelParts honest = parts;
                honest.checksum.reset();
                honest.declaredSize.reset();
                EXPECT_TRUE(file == levelgen::buildLevel(honest));
            }
        }
    }
}

TEST(LoadedLevel, DictionaryTailBeyondWholeEntriesIsDroppedOnSave) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    const Bytes entries = parts.streams[2].decoded;  // 3 entries
    parts.streams[2].decoded.insert(parts.streams[2].decoded.end(), {9, 9, 9, 9, 9});
    levelgen::writeFile(path, levelgen::buildLevel(parts));

    levelkit::LoadedLevel level;
    std::string out;
    ASSERT_TRUE(load(level, path, levelkit::LoadInfo | levelkit::LoadDictionary, out));
    EXPECT_EQ(level.dictionary.entryCount, 3u);
    EXPECT_EQ(level.dictionary.entries->size(), 29u);
    ASSERT_TRUE(save(level, path, out));
    levelkit::releaseLevel(level);

    const LevelFileView saved = testsupport::viewLevel(levelgen::readFile(path));
    EXPECT_EQ(saved.uncompressedSize[2], 24u);
    EXPECT_TRUE(testsupport::decodedStream(saved, 2) == entries);
}

// Every failed save prints the failing step's messages, releases everything and leaves the file as
// it was; a release afterwards frees nothing.
TEST(LoadedLevel, FailedSaveReleasesEverythingAndLeavesTheFile) {
    struct Case {
        const char* name;
        unsigned flags;
        void (*damage)(levelgen::LevelParts&);
        const char* expected;
    };
    const Case cases[] = {
        {"dictionary under one entry", levelkit::LoadInfo | levelkit::LoadDictionary,
         [](levelgen::LevelParts& p) {
             p.streams[2].decoded = {1, 2, 3, 4, 5};
         },
         "Bad input for compression!\n\nAn error occurred while compressing!\n"},
        {"event map of width 0", levelkit::LoadInfo | levelkit::LoadEvents,
         [](levelgen::LevelParts& p) {
             levelgen::putLE(p.streams[0].decoded, levelgen::kEventWidthOffset, 4, 0);
         },
         "Bad input for compression!\n\nAn error occurred while compressing stream 1!\n"},
        {"event map shorter than width x height", levelkit::LoadInfo | levelkit::LoadEvents,
         [](levelgen::LevelParts& p) { p.streams[1].decoded.resize(100); },
         "The event map holds 100 bytes, fewer than the 512 it must be saved with!\n"
         "An error occurred while compressing stream 1!\n"},
        {"event map without level information", levelkit::LoadEvents, [](levelgen::LevelParts&) {},
         "The event map cannot be saved without the level information!\n"
         "An error occurred while compressing stream 1!\n"},
    };
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
        c.damage(parts);
        const Bytes original = levelgen::buildLevel(parts);
        levelgen::writeFile(path, original);

        levelkit::LoadedLevel level;
        std::string out;
        ASSERT_TRUE(load(level, path, c.flags, out));
        EXPECT_FALSE(save(level, path, out));
        EXPECT_EQ(out, c.expected);
        EXPECT_TRUE(ownsNothing(level));
        levelkit::releaseLevel(level);
        EXPECT_TRUE(ownsNothing(level));
        EXPECT_TRUE(levelgen::readFile(path) == original);
    }
}

TEST(LoadedLevel, FailedLoadPrintsItsStepsAndOwnsNothing) {
    struct Case {
        const char* name;
        unsigned flags;
        std::optional<std::size_t> damagedStream;  // its compressed bytes cut in half
        bool shortInfo;        // stream 0 decodes to fewer bytes than its layout
        const char* expected;  // after "Level PATH loaded.\n"
    };
    const Case cases[] = {
        {"stream 0", levelkit::LoadInfo, 0, false,
         "An error occurred while uncompressing stream0!\n"
         "An error occurred while uncompressing stream 0!\n"},
        {"stream 0 too short for its layout", levelkit::LoadInfo | levelkit::LoadDictionary,
         std::nullopt, true,
         "Stream 0 decodes to 100 bytes, fewer than the 34029 of its layout!\n"},
        {"stream 1", levelkit::LoadInfo | levelkit::LoadEvents, 1, false,
         "An error occurred while uncompressing stream1!\n"
         "An error occurred while uncompressing stream 1!\n"},
        {"stream 2", levelkit::LoadInfo | levelkit::LoadDictionary, 2, false,
         "An error occurred while uncompressing stream2!\n"
         "An error occurred while uncompressing!\n"},
    };
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
        if (c.damagedStream) {
            Bytes cut = levelgen::compress(parts.streams[*c.damagedStream].decoded);
            cut.resize(cut.size() / 2);
            parts.streams[*c.damagedStream].compressed = cut;
        }
        if (c.shortInfo) {
            parts.streams[0].decoded.resize(100);
        }
        levelgen::writeFile(path, levelgen::buildLevel(parts));

        levelkit::LoadedLevel level;
        level.dictionary.entryCount = 77;
        std::string out;
        EXPECT_FALSE(load(level, path, c.flags, out));
        EXPECT_EQ(out, "Level " + path + " loaded.\n" + c.expected);
        EXPECT_TRUE(ownsNothing(level));
        if (c.damagedStream == 2u) {
            EXPECT_EQ(level.dictionary.entryCount, 0u);
        }
    }
}

TEST(LoadedLevel, DamagedStreamsThatAreNotAskedForDoNotMatter) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    parts.streams[1].compressed = Bytes{1, 2, 3};
    parts.streams[3].compressed = Bytes{4, 5, 6};
    levelgen::writeFile(path, levelgen::buildLevel(parts));

    levelkit::LoadedLevel level;
    std::string out;
    ASSERT_TRUE(load(level, path, levelkit::LoadInfo | levelkit::LoadDictionary, out));
    EXPECT_EQ(out, "Level " + path + " loaded.\n");
    levelkit::releaseLevel(level);

    // With all three asked for, the load stops at stream 1 and never reaches the dictionary.
    parts.streams[2].compressed = Bytes{7, 8, 9};
    levelgen::writeFile(path, levelgen::buildLevel(parts));
    EXPECT_FALSE(load(level, path, 7, out));
    EXPECT_EQ(out, "Level " + path +
                       " loaded.\n"
                       "An error occurred while uncompressing stream1!\n"
                       "An error occurred while uncompressing stream 1!\n");
}

TEST(LoadedLevel, MissingFilePrintsOnlyThatLine) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("missing.lvl");
    levelkit::LoadedLevel level;
    std::string out;
    EXPECT_FALSE(load(level, path, 7, out));
    EXPECT_EQ(out, "Failed to load file: " + path + "\n");
    EXPECT_TRUE(ownsNothing(level));
}

}  // namespace

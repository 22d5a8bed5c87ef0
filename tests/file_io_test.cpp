// What the tool's files hold on every platform it is built for, run through the built tool (and so,
// under scripts/windows-test, through levelkit.exe): level and raw stream files byte for byte,
// whatever line-end or end-of-file bytes they hold; the report in the platform's text convention;
// and paths outside ASCII.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

using levelgen::Bytes;
using testsupport::runLevelkit;

std::string rawName(const std::string& level, int stream) {
    return level + ".data" + std::to_string(stream);
}

// What a file written in text mode holds for `text`.
std::string asTextFile(const std::string& text) {
    if (!testsupport::windowsTarget()) {
        return text;
    }
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

std::string contentOf(const std::string& path) {
    const Bytes bytes = levelgen::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A text-mode reader or writer on Windows turns "\n" into "\r\n" and back and stops reading at
// 0x1A; the fused level and the raw files must survive all of it unchanged.
TEST(FileIo, LevelAndRawStreamFilesAreByteExact) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("a.lvl");
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    levelgen::writeFile(level, levelgen::buildLevel(parts));
    const std::string hazards = "\n\r\n\x1a\r\r\n\n\x1a";
    for (int i = 0; i < 4; ++i) {
        Bytes raw(hazards.begin(), hazards.end());
        const Bytes noise = levelgen::pseudoRandomBytes(4096, 20 + static_cast<std::uint32_t>(i));
        raw.insert(raw.end(), noise.begin(), noise.end());
        raw.insert(raw.end(), hazards.begin(), hazards.end());
        levelgen::writeFile(rawName(level, i), raw);
        parts.streams[i].decoded = raw;
    }
    const Bytes expectedLevel = levelgen::buildLevel(parts);
    for (const char c : {'\n', '\r', '\x1a'}) {
        ASSERT_NE(std::find(expectedLevel.begin(), expectedLevel.end(), c), expectedLevel.end());
    }

    const testsupport::RunResult fuse = runLevelkit({"FUSE", level});
    EXPECT_EQ(fuse.out,
              "Level " + level + " loaded.\nAvailable datastreams successfully compressed!\n\n");
    EXPECT_EQ(levelgen::readFile(level), expectedLevel);

    for (int i = 0; i < 4; ++i) {
        std::filesystem::remove(rawName(level, i));
    }
    const testsupport::RunResult split = runLevelkit({"SPLIT", level});
    EXPECT_EQ(split.out, "Level " + level + " loaded.\nDatastreams successfully extracted!\n\n");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(levelgen::readFile(rawName(level, i)), parts.streams[i].decoded)
            << "stream " << i;
    }
}

TEST(FileIo, ReportEndsItsLinesThePlatformsWay) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("bee.lvl");
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    levelgen::InfoParts info;
    info.eventWidth = 1;
    info.eventHeight = 1;
    parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    parts.streams[1].decoded = levelgen::makeEventMap(1, 1, {{0, 105}});
    levelgen::writeFile(level, levelgen::buildLevel(parts));

    const testsupport::RunResult run = runLevelkit({level});
    EXPECT_EQ(run.out,
              "Level " + level + " loaded.\nStatsfile created at:\n" + level + ".stats.txt");
    EXPECT_EQ(contentOf(level + ".stats.txt"),
              asTextFile("Stats for level:\n" + level + "\n\nIDs used:\n\nEvents used:\n" +
                         std::string(29, ' ') + "Bee: 1x\n"));
}

// Every mode on a level whose folder and name need more than one code page, and more than the
// 16-bit range of UTF-16 (the castle is a surrogate pair there); the last run names the level
// relative to a non-ASCII working folder.
TEST(FileIo, PathsOutsideAsciiWorkInEveryMode) {
    testsupport::ScratchDir scratch;
    const std::filesystem::path folder = scratch.path() / "Ниво-レベル-ü";
    std::filesystem::create_directory(folder);
    const std::string name = "château \xF0\x9F\x8F\xB0.lvl";
    const std::string level = (folder / name).string();
    const std::string swapList = (folder / "échange.txt").string();
    levelgen::writeFile(level,
                        levelgen::buildLevel(levelgen::sampleLevel(levelgen::kSmallVersion)));
    levelgen::writeFile(swapList, {'1', ' ', '2', '\n'});
    const std::string loaded = "Level " + level + " loaded.\n";

    struct Case {
        std::vector<std::string> args;
        std::string workingDirectory;
        std::string out;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {{"split", level},
         "",
         loaded + "Datastreams successfully extracted!\n\n",
         {rawName(level, 0), rawName(level, 1), rawName(level, 2), rawName(level, 3)}},
        {{"fuse", level}, "", loaded + "Available datastreams successfully compressed!\n\n", {}},
        {{level, swapList}, "", loaded + "Level was successfully modified!\n\n", {}},
        {{level},
         "",
         loaded + "Statsfile created at:\n" + level + ".stats.txt",
         {level + ".stats.txt"}},
        {{name},
         folder.string(),
         "Level " + name + " loaded.\nStatsfile created at:\n" + name + ".stats.txt",
         {level + ".stats.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        const testsupport::RunResult run =
            runLevelkit(c.args, {.fileSizeLimit = {}, .workingDirectory = c.workingDirectory});
        EXPECT_EQ(run.out, c.out);
        for (const std::string& file : c.written) {
            EXPECT_TRUE(testsupport::exists(file)) << file;
        }
    }
    // Nothing was written under a mangled name.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++entries;
    }
    EXPECT_EQ(entries, 7u);  // level, swap list, four raw stream files, report
    EXPECT_EQ(
        contentOf(level + ".stats.txt").rfind(asTextFile("Stats for level:\n" + name + "\n"), 0),
        0u);
}

}  // namespace

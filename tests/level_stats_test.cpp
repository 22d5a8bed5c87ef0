#include "tool/level_stats.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

using Cells = std::vector<std::pair<std::size_t, std::uint32_t>>;

// A level whose event map is `events` and whose information says width x height.
void writeLevel(const std::string& path, std::uint32_t width, std::uint32_t height,
                const levelgen::Bytes& events) {
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    levelgen::InfoParts info;
    info.eventWidth = width;
    info.eventHeight = height;
    info.opaqueSeed = 9;
    parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    parts.streams[1].decoded = events;
    levelgen::writeFile(path, levelgen::buildLevel(parts));
}

void writeLevel(const std::string& path, std::uint32_t width, std::uint32_t height,
                const Cells& cells) {
    writeLevel(path, width, height, levelgen::makeEventMap(width, height, cells));
}

// The report is a text file, so lines may end in "\r\n" (file_io_test checks which).
std::string readText(const std::string& path) {
    const levelgen::Bytes bytes = levelgen::readFile(path);
    return testsupport::withLineFeeds(std::string(bytes.begin(), bytes.end()));
}

void writeText(const std::string& path, const std::string& text) {
    levelgen::writeFile(path, levelgen::Bytes(text.begin(), text.end()));
}

// One line of the "Events used:" block, its padding spelled out.
std::string eventLine(std::size_t spaces, const std::string& name, std::uint32_t count) {
    return std::string(spaces, ' ') + name + ": " + std::to_string(count) + "x\n";
}

std::string report(const std::string& levelPath, const std::string& ids,
                   const std::string& events) {
    return "Stats for level:\n" + levelPath + "\n\nIDs used:\n" + ids + "\nEvents used:\n" + events;
}

const Cells kWorkedExample = {{3, 95 | (3u << 12)},
                              {20, 201 | (2u << 12) | (1u << 16)},
                              {40, 230 | (7u << 12)},
                              {41, 230 | (5u << 12)}};

std::string workedExampleReport(const std::string& levelPath) {
    return report(levelPath, "TriggerID: 3\nTextID: 1\nTextID: 2\nWarpID: 5\nWarpID: 7\n",
                  eventLine(11, "Scenery Trigger Crate", 1) +
                      eventLine(12, "Villain (robot boss)", 1) + eventLine(28, "Warp", 2));
}

// The level path is used as given, never resolved: in the report, in its name and in the console
// lines. A stale, longer report is replaced whole.
TEST(LevelStats, WorkedExampleAtThePathAsGiven) {
    testsupport::ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    struct Case {
        std::string levelPath;  // as on the command line
        std::string workingDirectory;
        std::string file;  // where it lands
    };
    const Case cases[] = {
        {dir.file("a.lvl"), "", dir.file("a.lvl")},
        {"a.lvl", dir.path().string(), dir.file("a.lvl")},
        {"./sub/../b.lvl", dir.path().string(), dir.file("b.lvl")},
        {"SPLIT", dir.path().string(), dir.file("SPLIT")},  // a lone keyword is a level path
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.levelPath);
        writeLevel(c.file, 16, 8, kWorkedExample);
        writeText(c.file + ".stats.txt", std::string(4000, 'z') + "\n");

        testsupport::RunOptions options;
        options.workingDirectory = c.workingDirectory;
        const testsupport::RunResult run = testsupport::runLevelkit({c.levelPath}, options);
        EXPECT_EQ(run.out, "Level " + c.levelPath + " loaded.\nStatsfile created at:\n" +
                               c.levelPath + ".stats.txt");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readText(c.file + ".stats.txt"), workedExampleReport(c.levelPath));
    }
}

TEST(LevelStats, ReportLines) {
    struct Case {
        const char* what;
        std::uint32_t width, height;
        levelgen::Bytes events;
        std::string ids;
        std::string lines;
    };
    const levelgen::Bytes someCells =
        levelgen::makeEventMap(4, 4, {{0, 45}, {5, 95 | (3u << 12)}, {15, 230}});
    const Case cases[] = {
        {"all empty", 4, 3, levelgen::makeEventMap(4, 3, {}), "", ""},
        {"empty cells with high bits", 3, 2,
         levelgen::makeEventMap(3, 2, {{0, 0xFFFFFF00}, {1, 0x0001F000}, {5, 0x12345600}}), "", ""},
        {"width 0 over a filled buffer", 0, 4, someCells, "", ""},
        {"height 0 over a filled buffer", 4, 0, someCells, "", ""},
        {"one line per identifier, however many cells", 4, 1,
         levelgen::makeEventMap(4, 1,
                                {{0, 95 | (3u << 12)},
                                 {1, 234 | (3u << 12)},
                                 {2, 246 | (3u << 12)},
                                 {3, 201 | (4u << 12) | (4u << 16)}}),
         "TriggerID: 3\nTextID: 4\n",
         eventLine(11, "Scenery Trigger Crate", 1) + eventLine(12, "Villain (robot boss)", 1) +
             eventLine(17, "Trigger Scenery", 1) + eventLine(20, "Trigger Zone", 1)},
        {"type 200 reads no second text, bit 16 is a trigger's", 3, 1,
         levelgen::makeEventMap(
             3, 1, {{0, 200 | (2u << 12) | (9u << 16)}, {1, 207 | 0x1F000}, {2, 95 | 0x1F000}}),
         "TriggerID: 31\nTextID: 2\nTextID: 15\n",
         eventLine(11, "Scenery Trigger Crate", 1) + eventLine(14, "Devil villain boss", 1) +
             eventLine(28, "Text", 1)},
        {"warp bits 12-19", 2, 1, levelgen::makeEventMap(2, 1, {{0, 240 | 0xFF000}, {1, 230}}),
         "WarpID: 0\nWarpID: 255\n", eventLine(28, "Warp", 1) + eventLine(21, "Warp Target", 1)},
        {"types without identifiers ignore their high bits", 3, 1,
         levelgen::makeEventMap(3, 1, {{0, 21 | 0xFFFFFF00}, {1, 242 | 0x7F000}, {2, 45 | 0xF000}}),
         "",
         eventLine(20, "Trigger Rock", 1) + eventLine(23, "Gold Coin", 1) +
             eventLine(25, "Area Id", 1)},
        {"each EMPTY type on its own line, in type order", 7, 3,
         levelgen::makeEventMap(7, 3,
                                {{0, 254},
                                 {1, 32},
                                 {2, 243},
                                 {3, 243},
                                 {4, 82},
                                 {5, 247},
                                 {6, 239},
                                 {7, 239},
                                 {8, 239},
                                 {20, 254}}),
         "",
         eventLine(27, "EMPTY", 1) + eventLine(27, "EMPTY", 1) + eventLine(27, "EMPTY", 3) +
             eventLine(27, "EMPTY", 2) + eventLine(27, "EMPTY", 1) + eventLine(27, "EMPTY", 2)},
        {"the longest name and a short one", 2, 2,
         levelgen::makeEventMap(2, 2, {{0, 105}, {1, 58}, {2, 105}, {3, 105}}), "",
         eventLine(0, "TNT (armed explosive, no pickup)", 1) + eventLine(29, "Bee", 3)},
    };
    testsupport::ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("level.lvl");
        writeLevel(path, c.width, c.height, c.events);
        const testsupport::RunResult run = testsupport::runLevelkit({path});
        EXPECT_EQ(run.out,
                  "Level " + path + " loaded.\nStatsfile created at:\n" + path + ".stats.txt");
        EXPECT_EQ(readText(path + ".stats.txt"), report(path, c.ids, c.lines));
    }
}

// Every failure before the report is written leaves an older report as it was.
TEST(LevelStats, FailedLoadLeavesTheOldReport) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        std::string messages;  // between the loaded line (if any) and the closing line
    };
    const Case cases[] = {
        {"no level file", [](const std::string&) {}, ""},
        {"stream 1 does not decode",
         [](const std::string& path) {
             levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
             parts.streams[1].compressed = levelgen::Bytes{1, 2, 3, 4, 5};
             levelgen::writeFile(path, levelgen::buildLevel(parts));
         },
         ""},
        {"stream 0 shorter than its layout",
         [](const std::string& path) {
             levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
             parts.streams[0].decoded.resize(100);
             levelgen::writeFile(path, levelgen::buildLevel(parts));
         },
         ""},
        {"event map one byte short",
         [](const std::string& path) {
             levelgen::Bytes events = levelgen::makeEventMap(3, 2, {{0, 45}});
             events.pop_back();
             writeLevel(path, 3, 2, events);
         },
         "The event map holds 23 bytes, fewer than the 24 its 3 x 2 cells need!\n"},
    };
    testsupport::ScratchDir dir;
    const std::string path = dir.file("x.lvl");
    const std::string old = "an older report\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path);
        c.make(path);
        writeText(path + ".stats.txt", old);

        const testsupport::RunResult run = testsupport::runLevelkit({path});
        const std::string closing = "Failed to load '" + path + "'! Quitting...\n";
        ASSERT_GE(run.out.size(), closing.size());
        EXPECT_EQ(run.out.substr(run.out.size() - closing.size()), closing);
        if (!c.messages.empty()) {
            EXPECT_EQ(run.out, "Level " + path + " loaded.\n" + c.messages + closing);
        }
        EXPECT_EQ(run.out.find("Statsfile"), std::string::npos);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readText(path + ".stats.txt"), old);
    }
}

TEST(LevelStats, ReportThatCannotBeWritten) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("x.lvl");
    writeLevel(path, 16, 8, kWorkedExample);
    const std::string old = "old\n";
    writeText(path + ".stats.txt", old);

    testsupport::RunOptions options;
    options.fileSizeLimit = 10;
    const testsupport::RunResult run = testsupport::runLevelkit({path}, options);
    EXPECT_EQ(run.out, "Level " + path + " loaded.\nFailed to write file: " + path +
                           ".stats.txt (" + testsupport::fileSizeLimitReason() + ")\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readText(path + ".stats.txt"), old);
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        left.insert(entry.path().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{path, path + ".stats.txt"}));
}

// Counting, checked against maps whose content the test chose cell by cell: the word of each cell
// is built from a type and identifiers, with random bits wherever the type's kind reads nothing.
struct MapMaker {
    std::mt19937 random;
    levelgen::Bytes bytes;
    levelkit::EventUsage expected;

    explicit MapMaker(std::uint32_t seed) : random(seed) {}

    std::uint32_t noise(std::uint32_t readBits) {
        return static_cast<std::uint32_t>(random()) & ~(readBits | 0xFFu);
    }

    void put(std::uint32_t word) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(word >> shift));
        }
    }

    void empty() { put(noise(0)); }

    void cell(std::uint8_t type) {
        ++expected.typeCount[type];
        const std::uint32_t id = static_cast<std::uint32_t>(random());
        switch (type) {
            case 95:
            case 234:
            case 246:
                expected.triggerUsed[id & 31] = true;
                return put(type | ((id & 31) << 12) | noise(0x1F000));
            case 101:
            case 114:
            case 151:
            case 195:
            case 198:
            case 199:
            case 200:
            case 207:
                expected.textUsed[id & 15] = true;
                return put(type | ((id & 15) << 12) | noise(0xF000));
            case 201:
                expected.textUsed[id & 15] = true;
                expected.textUsed[(id >> 4) & 15] = true;
                return put(type | ((id & 0xFF) << 12) | noise(0xFF000));
            case 230:
            case 240:
                expected.warpUsed[id & 255] = true;
                return put(type | ((id & 255) << 12) | noise(0xFF000));
            default:
                return put(type | noise(0));
        }
    }
};

void expectUsage(const levelkit::EventUsage& got, const levelkit::EventUsage& expected) {
    EXPECT_EQ(got.typeCount, expected.typeCount);
    EXPECT_EQ(got.triggerUsed, expected.triggerUsed);
    EXPECT_EQ(got.textUsed, expected.textUsed);
    EXPECT_EQ(got.warpUsed, expected.warpUsed);
}

TEST(CountEvents, MapShapes) {
    struct Shape {
        const char* what;
        std::uint32_t width, height;
        int emptyPercent;
        std::vector<std::uint8_t> types;  // drawn from; empty: any non-zero type
        std::size_t wordsBeyond = 0;      // filled words after the last cell, never counted
        std::size_t offset = 0;           // the map starts this many bytes into its buffer
    };
    const Shape shapes[] = {
        {"one cell", 1, 1, 0, {}},
        {"one column", 1, 37, 20, {}},
        {"odd rectangle", 7, 13, 30, {}},
        {"wide", 97, 31, 30, {}},
        {"all empty with high bits", 64, 64, 100, {}},
        {"identifier kinds only", 33, 65, 10, {95, 234, 246, 101, 200, 207, 201, 230, 240}},
        {"one trigger type", 50, 50, 0, {95}},
        {"two types past 65535 each", 400, 400, 0, {45, 230}},
        {"all types", 256, 300, 25, {}},
        {"words past the last cell", 3, 5, 10, {}, 40},
        {"width 0", 0, 6, 0, {}, 30},
        {"height 0", 6, 0, 0, {}, 30},
        {"odd start", 13, 3, 20, {}, 5, 1},
        {"start 3 bytes in", 5, 7, 20, {}, 0, 3},
    };
    std::uint32_t seed = 1;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.what);
        MapMaker maker(seed++);
        maker.bytes.assign(shape.offset, 0xEE);
        const std::size_t cells = std::size_t{shape.width} * shape.height;
        std::uniform_int_distribution<int> percent(0, 99);
        std::uniform_int_distribution<int> anyType(1, 255);
        for (std::size_t i = 0; i < cells; ++i) {
            if (percent(maker.random) < shape.emptyPercent) {
                maker.empty();
            } else if (shape.types.empty()) {
                maker.cell(static_cast<std::uint8_t>(anyType(maker.random)));
            } else {
                maker.cell(shape.types[maker.random() % shape.types.size()]);
            }
        }
        const levelkit::EventUsage expected = maker.expected;
        for (std::size_t i = 0; i < shape.wordsBeyond; ++i) {
            maker.cell(static_cast<std::uint8_t>(anyType(maker.random)));
        }
        const std::span<const std::uint8_t> map =
            std::span<const std::uint8_t>(maker.bytes).subspan(shape.offset);
        expectUsage(levelkit::countEvents({map, shape.width, shape.height}), expected);
    }
}

// Counters are 32 bits wide: 65536 cells are not zero and 65537 are not one.
TEST(CountEvents, TrueCountsPastSixteenBits) {
    for (const std::uint32_t cells : {65535u, 65536u, 65537u}) {
        SCOPED_TRACE(cells);
        levelgen::Bytes filled = levelgen::makeEventMap(cells, 1, {});
        for (std::size_t i = 0; i < cells; ++i) {
            filled[i * 4] = 45;
        }
        const levelkit::EventUsage usage = levelkit::countEvents({filled, cells, 1});
        EXPECT_EQ(usage.typeCount[45], cells);
        EXPECT_EQ(levelkit::formatStatsReport("l", usage),
                  report("l", "", eventLine(23, "Gold Coin", cells)));
    }
}

}  // namespace

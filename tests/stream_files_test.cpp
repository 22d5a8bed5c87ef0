// Split and fuse, run through the built tool on generated levels: exact output and files
// afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

namespace fs = std::filesystem;
using levelgen::Bytes;
using testsupport::runLevelkit;

const std::string kFuseDone = "Available datastreams successfully compressed!\n\n";
const std::string kSplitDone = "Datastreams successfully extracted!\n\n";

std::string loaded(const std::string& path) {
    return "Level " + path + " loaded.\n";
}

std::string rawName(const std::string& level, std::size_t stream) {
    return level + ".data" + std::to_string(stream);
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The level as a correct writer would store `parts`: true checksum and size, nothing after it.
levelgen::LevelParts corrected(levelgen::LevelParts parts) {
    parts.checksum.reset();
    parts.declaredSize.reset();
    parts.trailing.clear();
    return parts;
}

// A sample level whose header lies about its checksum and size and which has bytes after its
// last stream: every write must set all three right.
levelgen::LevelParts untidySample(std::uint16_t version) {
    levelgen::LevelParts parts = levelgen::sampleLevel(version);
    parts.checksum = 0xDEADBEEFu;
    parts.declaredSize = 5;
    parts.trailing = levelgen::pseudoRandomBytes(19, 8);
    return parts;
}

TEST(StreamFiles, SplitWritesEachStreamsDecodedBytes) {
    levelgen::LevelParts generous = levelgen::sampleLevel(levelgen::kLargeVersion);
    generous.streams[2].recordedUncompressedSize = 1000;  // decodes to less: the real bytes count
    for (const levelgen::LevelParts& parts : {untidySample(levelgen::kSmallVersion), generous}) {
        testsupport::ScratchDir dir;
        const std::string level = dir.file("a.lvl");
        const Bytes original = levelgen::buildLevel(parts);
        levelgen::writeFile(level, original);
        levelgen::writeFile(rawName(level, 2), levelgen::pseudoRandomBytes(5000, 1));

        const testsupport::RunResult run = runLevelkit({"split", level});
        EXPECT_EQ(run.out, loaded(level) + kSplitDone);
        EXPECT_EQ(run.status, 0);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(levelgen::readFile(rawName(level, i)), parts.streams[i].decoded) << i;
        }
        EXPECT_EQ(levelgen::readFile(level), original);
        EXPECT_EQ(filesIn(dir.path()).size(), 5u);
    }
}

TEST(StreamFiles, SplitThenFuseGivesBackTheSameStreams) {
    // Streams compressed at another level than the tool's: fuse changes their bytes, not what
    // they decode to.
    levelgen::LevelParts parts = untidySample(levelgen::kLargeVersion);
    for (levelgen::StreamPart& stream : parts.streams) {
        uLongf length = compressBound(static_cast<uLong>(stream.decoded.size()));
        Bytes fast(length);
        ASSERT_EQ(compress2(fast.data(), &length, stream.decoded.data(),
                            static_cast<uLong>(stream.decoded.size()), 1),
                  Z_OK);
        fast.resize(length);
        stream.compressed = fast;
    }
    testsupport::ScratchDir dir;
    const std::string level = dir.file("round.trip.lvl");
    levelgen::writeFile(level, levelgen::buildLevel(parts));

    EXPECT_EQ(runLevelkit({"SPLIT", level}).out, loaded(level) + kSplitDone);
    EXPECT_EQ(runLevelkit({"FUSE", level}).out, loaded(level) + kFuseDone);

    levelgen::LevelParts expected = corrected(parts);
    for (levelgen::StreamPart& stream : expected.streams) {
        stream.compressed.reset();
    }
    const Bytes fused = levelgen::readFile(level);
    EXPECT_EQ(fused, levelgen::buildLevel(expected));
    EXPECT_NE(fused, levelgen::buildLevel(corrected(parts)));
}

TEST(StreamFiles, FuseCompressesTheRawFilesFoundAndRewritesTheLevel) {
    const levelgen::LevelParts sample = untidySample(levelgen::kSmallVersion);
    struct Case {
        const char* name;
        std::map<std::size_t, Bytes> raw;  // raw stream files present
        std::string out;                   // after the "loaded" line
    };
    const std::vector<Case> table = {
        {"none",
         {},
         "Couldn't find stream 0!\nCouldn't find stream 1!\nCouldn't find stream 2!\n"
         "Couldn't find stream 3!\n" +
             kFuseDone},
        {"only stream 2",
         {{2, levelgen::makeDictionary({{9, 8, 7, 6}})}},
         "Couldn't find stream 0!\nCouldn't find stream 1!\nCouldn't find stream 3!\n" + kFuseDone},
        {"an empty one",
         {{0, levelgen::pseudoRandomBytes(700, 2)}, {1, {}}, {3, text("opaque")}},
         "Bad input for compression!\n\nAn error occurred while compressing stream 1!\n"
         "Couldn't find stream 2!\n"},
        {"any length for any stream",
         {{0, text("abc")}, {1, text("x")}, {2, text("y")}, {3, text("z")}},
         kFuseDone},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        testsupport::ScratchDir dir;
        const std::string level = dir.file("a.lvl");
        levelgen::writeFile(level, levelgen::buildLevel(sample));
        levelgen::LevelParts expected = corrected(sample);
        for (const auto& [stream, bytes] : c.raw) {
            levelgen::writeFile(rawName(level, stream), bytes);
            if (!bytes.empty()) {
                expected.streams[stream] = levelgen::StreamPart{bytes, {}, {}, {}};
            }
        }

        const testsupport::RunResult run = runLevelkit({"fuse", level});
        EXPECT_EQ(run.out, loaded(level) + c.out);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(levelgen::readFile(level), levelgen::buildLevel(expected));
        EXPECT_EQ(filesIn(dir.path()).size(), 1 + c.raw.size());
    }
}

TEST(StreamFiles, FuseRefusesARawFileTooLongForAStream) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("a.lvl");
    const levelgen::LevelParts parts = untidySample(levelgen::kSmallVersion);
    levelgen::writeFile(level, levelgen::buildLevel(parts));
    levelgen::writeFile(rawName(level, 1), {});
    fs::resize_file(rawName(level, 1), 0x100000000ull);  // sparse: costs no disk

    const testsupport::RunResult run = runLevelkit({"fuse", level});
    EXPECT_EQ(run.out, loaded(level) + "Couldn't find stream 0!\nRaw stream file " +
                           rawName(level, 1) +
                           " holds 4294967296 bytes, more than a stream 1 can hold!\n"
                           "An error occurred while compressing stream 1!\n"
                           "Couldn't find stream 2!\nCouldn't find stream 3!\n");
    EXPECT_EQ(levelgen::readFile(level), levelgen::buildLevel(corrected(parts)));
}

TEST(StreamFiles, SplitReportsAStreamThatDoesNotDecodeAndWritesTheOthers) {
    const levelgen::LevelParts sample = levelgen::sampleLevel(levelgen::kSmallVersion);
    struct Case {
        const char* name;
        std::size_t stream;
        levelgen::StreamPart part;
    };
    levelgen::StreamPart garbage = sample.streams[1];
    garbage.compressed = levelgen::pseudoRandomBytes(40, 6);
    levelgen::StreamPart recordedSmall = sample.streams[3];
    recordedSmall.recordedUncompressedSize =
        static_cast<std::uint32_t>(recordedSmall.decoded.size() - 1);
    levelgen::StreamPart empty = sample.streams[0];
    empty.compressed = Bytes{};
    const std::vector<Case> table = {
        {"damaged", 1, garbage}, {"recorded too small", 3, recordedSmall}, {"empty", 0, empty}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        testsupport::ScratchDir dir;
        const std::string level = dir.file("a.lvl");
        levelgen::LevelParts parts = sample;
        parts.streams[c.stream] = c.part;
        levelgen::writeFile(level, levelgen::buildLevel(parts));
        levelgen::writeFile(rawName(level, c.stream), text("from an earlier run"));

        const std::string n = std::to_string(c.stream);
        const testsupport::RunResult run = runLevelkit({"split", level});
        EXPECT_EQ(run.out, loaded(level) + "An error occurred while uncompressing stream" + n +
                               "!\nAn error occurred while uncompressing stream " + n + "!\n");
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(levelgen::readFile(rawName(level, i)),
                      i == c.stream ? text("from an earlier run") : sample.streams[i].decoded)
                << i;
        }
    }
}

TEST(StreamFiles, LevelThatCannotBeOpenedTouchesNoFile) {
    for (const char* mode : {"split", "fuse"}) {
        SCOPED_TRACE(mode);
        testsupport::ScratchDir dir;
        const std::string level = dir.file("missing.lvl");
        levelgen::writeFile(rawName(level, 0), text("kept"));
        const testsupport::RunResult run = runLevelkit({mode, level});
        EXPECT_EQ(run.out, "Failed to load file: " + level + "\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"missing.lvl.data0"});
        EXPECT_EQ(levelgen::readFile(rawName(level, 0)), text("kept"));
    }
}

// Writes beyond this many bytes fail with EFBIG: the level and stream 0 are larger, the tool's
// output and the other raw stream files smaller.
constexpr std::uint64_t kWriteLimit = 4096;

TEST(StreamFiles, FuseThatCannotWriteKeepsTheLevel) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("a.lvl");
    const Bytes original = levelgen::buildLevel(untidySample(levelgen::kSmallVersion));
    ASSERT_GT(original.size(), kWriteLimit);
    levelgen::writeFile(level, original);
    levelgen::writeFile(rawName(level, 2), levelgen::makeDictionary({{1, 2, 3, 4}}));

    const testsupport::RunResult run =
        runLevelkit({"fuse", level}, {.fileSizeLimit = kWriteLimit, .workingDirectory = {}});
    EXPECT_EQ(run.out, loaded(level) +
                           "Couldn't find stream 0!\nCouldn't find stream 1!\n"
                           "Couldn't find stream 3!\nFailed to write file: " +
                           level + " (" + testsupport::fileSizeLimitReason() + ")\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(levelgen::readFile(level), original);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a.lvl", "a.lvl.data2"}));
}

TEST(StreamFiles, SplitThatCannotWriteARawFileReportsIt) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("a.lvl");
    const levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    ASSERT_GT(parts.streams[0].decoded.size(), kWriteLimit);
    levelgen::writeFile(level, levelgen::buildLevel(parts));
    levelgen::writeFile(rawName(level, 0), text("from an earlier run"));

    const testsupport::RunResult run =
        runLevelkit({"split", level}, {.fileSizeLimit = kWriteLimit, .workingDirectory = {}});
    EXPECT_EQ(run.out, loaded(level) + "Failed to write file: " + rawName(level, 0) + " (" +
                           testsupport::fileSizeLimitReason() + ")\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(levelgen::readFile(rawName(level, 0)), text("from an earlier run"));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(levelgen::readFile(rawName(level, i)), parts.streams[i].decoded) << i;
    }
    EXPECT_EQ(filesIn(dir.path()).size(), 5u);
}

TEST(StreamFiles, FuseThroughASymlinkKeepsTheLinkAndThePermissions) {
    testsupport::ScratchDir dir;
    fs::create_directory(dir.path() / "store");
    const std::string target = dir.file("store/real.lvl");
    const levelgen::LevelParts parts = untidySample(levelgen::kSmallVersion);
    levelgen::writeFile(target, levelgen::buildLevel(parts));
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    const std::string link = dir.file("a.lvl");
    fs::create_symlink("store/real.lvl", link);
    const Bytes dictionary = levelgen::makeDictionary({{4, 3, 2, 1}});
    levelgen::writeFile(rawName(link, 2), dictionary);

    const testsupport::RunResult run = runLevelkit({"fuse", link});
    EXPECT_EQ(run.out, loaded(link) +
                           "Couldn't find stream 0!\nCouldn't find stream 1!\n"
                           "Couldn't find stream 3!\n" +
                           kFuseDone);
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "store/real.lvl");
    levelgen::LevelParts expected = corrected(parts);
    expected.streams[2] = levelgen::StreamPart{dictionary, {}, {}, {}};
    EXPECT_EQ(levelgen::readFile(target), levelgen::buildLevel(expected));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    if (!testsupport::windowsTarget()) {  // Windows keeps no permission bits
        EXPECT_EQ(info.st_mode & 07777, 0604u);
    }
    EXPECT_EQ(filesIn(dir.path() / "store"), std::vector<std::string>{"real.lvl"});
}

}  // namespace

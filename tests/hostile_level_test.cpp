// Levels made to hurt: a stream table that claims 4 GiB for every size, streams compressed at
// deflate's 1032:1 limit, and event-map geometry that claims billions of cells. Every mode must end
// with a message, and its peak memory must follow the bytes it really decoded, never what a header
// claims: at most twice those bytes plus 8 MiB.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "content/event_map.hpp"
#include "level_builder.hpp"
#include "test_support.hpp"
#include "tool/level_stats.hpp"

namespace {

using levelgen::Bytes;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr std::uint64_t kMiB = 1024 * 1024;

struct Measured {
    testsupport::RunResult run;
    std::uint64_t peakBytes = 0;  // the tool's peak resident set
};

std::string slurp(const std::string& path) {
    const Bytes bytes = levelgen::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs the tool as this process's child and reads that child's own peak resident set from wait4.
// The peak survives exec, so it counts this process's resident set at the fork too: the caller
// holds no large buffer while it measures.
Measured runMeasured(const std::vector<std::string>& args) {
    const testsupport::ScratchDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");
    // The child must not inherit, and print again, what this process has yet to print.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen(outPath.c_str(), "w", stdout) == nullptr ||
            std::freopen(errPath.c_str(), "w", stderr) == nullptr) {
            ::_exit(127);
        }
        std::vector<char*> argv;
        static char program[] = LEVELKIT_EXE;
        argv.push_back(program);
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    Measured measured;
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
        measured.run.status = WEXITSTATUS(status);
    }
    measured.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    measured.run.out = slurp(outPath);
    measured.run.err = slurp(errPath);
    return measured;
}

// The sample level with zero opaque bytes in stream 0, so that it compresses to almost nothing
// and leaves the 64 KiB for the hostile part.
levelgen::LevelParts compactLevel() {
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    levelgen::InfoParts info;
    info.animCount = 1;
    info.eventWidth = 16;
    info.eventHeight = 8;
    parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    parts.streams[3].decoded = {1, 2, 3};
    return parts;
}

// The figure itself goes to the test's output, for the record.
void printPeak(const std::string& what, const Measured& measured) {
    std::printf("peak resident set, %s: %llu KiB\n", what.c_str(),
                static_cast<unsigned long long>(measured.peakBytes / 1024));
}

bool claimsSuccess(const std::string& out) {
    return out.find("successfully") != std::string::npos ||
           out.find("Statsfile created") != std::string::npos;
}

TEST(HostileLevel, EveryMode_RefusesAStreamTableClaimingFourGiBForEverySize) {
    testsupport::ScratchDir dir;
    const std::string level = dir.file("liar.lvl");
    levelgen::LevelParts parts = compactLevel();
    for (levelgen::StreamPart& stream : parts.streams) {
        stream.recordedCompressedSize = 0xFFFFFFFF;
        stream.recordedUncompressedSize = 0xFFFFFFFF;
    }
    const Bytes file = levelgen::buildLevel(parts);
    ASSERT_LE(file.size(), 64 * 1024);
    levelgen::writeFile(level, file);
    levelgen::writeFile(dir.file("swap.txt"), {'1', ' ', '2'});

    const std::string refusal = "Failed to load file: " + level + " (it holds " +
                                std::to_string(file.size()) +
                                " bytes, its header and streams need 17179869442)\n";
    const std::vector<std::pair<std::string, std::vector<std::string>>> modes = {
        {"split", {"split", level}},
        {"fuse", {"fuse", level}},
        {"swap", {level, dir.file("swap.txt")}},
        {"stats", {level}}};
    for (const auto& [mode, args] : modes) {
        SCOPED_TRACE(mode);
        const Measured measured = runMeasured(args);
        EXPECT_EQ(measured.run.status, 0);
        EXPECT_EQ(measured.run.out.rfind(refusal, 0), 0u) << measured.run.out;
        EXPECT_FALSE(claimsSuccess(measured.run.out)) << measured.run.out;
        printPeak("lying stream table, " + mode, measured);
        if (!kSanitized) {
            EXPECT_LE(measured.peakBytes, 8 * kMiB);
        }
    }
    EXPECT_EQ(levelgen::readFile(level), file);
}

// A stream of zeros compressed at deflate's limit, with an uncompressed size of 4 GiB claimed for
// it, in each stream that a mode interprets. Split decodes all four streams, the tile swap streams
// 0 and 2, the statistics streams 0 and 1; fuse compresses what split wrote.
class Bomb : public testing::TestWithParam<int> {};

TEST_P(Bomb, EveryModeEndsWithAMessageAndMemoryFollowsTheDecodedBytes) {
    const int bombed = GetParam();
    testsupport::ScratchDir dir;
    const std::string level = dir.file("bomb.lvl");
    // Sanitized builds measure no memory and run many times slower: a smaller bomb, at the same
    // ratio, shows them the same paths.
    constexpr std::size_t kBombSize = (kSanitized ? 4 : 60) * 1000 * 1032;
    std::size_t bombCompressed = 0;
    const Bytes file = [&] {
        levelgen::LevelParts parts = compactLevel();
        parts.streams[bombed].compressed = levelgen::compress(Bytes(kBombSize, 0));
        parts.streams[bombed].recordedUncompressedSize = 0xFFFFFFFF;
        bombCompressed = parts.streams[bombed].compressed->size();
        return levelgen::buildLevel(parts);
    }();
    ASSERT_LE(file.size(), 64 * 1024);
    ASSERT_GE(kBombSize / bombCompressed, 1000u) << "the stream is near deflate's limit";
    levelgen::writeFile(level, file);
    levelgen::writeFile(dir.file("swap.txt"), {'1', ' ', '2'});

    const std::uint64_t limit = 2 * kBombSize + 8 * kMiB;
    const auto expectWithin = [&](const std::string& mode, const Measured& measured) {
        printPeak("bomb in stream " + std::to_string(bombed) + ", " + mode, measured);
        EXPECT_EQ(measured.run.status, 0);
        EXPECT_EQ(measured.run.err, "");
        if (!kSanitized) {
            EXPECT_LE(measured.peakBytes, limit);
        }
    };

    // Statistics: the bombed info decodes and is cut to its layout; the bombed map is counted.
    Measured stats = runMeasured({level});
    expectWithin("stats", stats);
    EXPECT_NE(stats.run.out.find("Statsfile created at:"), std::string::npos) << stats.run.out;

    // The tile swap decodes 0 and 2 and saves: a bombed stream 2 is swapped and compressed again.
    Measured swap = runMeasured({level, dir.file("swap.txt")});
    expectWithin("swap", swap);
    EXPECT_NE(swap.run.out.find("Level was successfully modified!"), std::string::npos)
        << swap.run.out;

    levelgen::writeFile(level, file);
    Measured split = runMeasured({"SPLIT", level});
    expectWithin("split", split);
    EXPECT_NE(split.run.out.find("Datastreams successfully extracted!"), std::string::npos)
        << split.run.out;
    EXPECT_EQ(std::filesystem::file_size(level + ".data" + std::to_string(bombed)), kBombSize);

    Measured fuse = runMeasured({"FUSE", level});
    expectWithin("fuse", fuse);
    EXPECT_NE(fuse.run.out.find("Available datastreams successfully compressed!"),
              std::string::npos)
        << fuse.run.out;
}

INSTANTIATE_TEST_SUITE_P(Streams, Bomb, testing::Values(0, 1, 2, 3));

// A map with no columns and four billion rows has no cells: counting it is immediate.
TEST(HostileLevel, CountEvents_ZeroWidthWithFourBillionRowsVisitsNothing) {
    const Bytes map(64, 0xFF);
    const levelkit::EventUsage usage = levelkit::countEvents({map, 0, 0xFFFFFFFF});
    for (const std::uint32_t count : usage.typeCount) {
        EXPECT_EQ(count, 0u);
    }
}

}  // namespace

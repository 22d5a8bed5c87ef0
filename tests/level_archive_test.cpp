#include "archive/level_archive.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

using levelkit::LevelArchive;

// What `action` printed on standard output (the library prints with printf and puts).
template <class Action>
std::string stdoutOf(Action&& action) {
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string writeLevel(const testsupport::ScratchDir& dir, const levelgen::LevelParts& parts,
                       const std::string& name = "a.lvl") {
    const std::string path = dir.file(name);
    levelgen::writeFile(path, levelgen::buildLevel(parts));
    return path;
}

// Reads a level that must read, its "loaded" line swallowed.
LevelArchive readLevel(const std::string& path) {
    LevelArchive archive;
    bool ok = false;
    const std::string out = stdoutOf([&] { ok = levelkit::readLevelFile(archive, path); });
    EXPECT_TRUE(ok) << out;
    return archive;
}

bool sameArchive(const LevelArchive& a, const LevelArchive& b) {
    return levelkit::encodeHeader(a) == levelkit::encodeHeader(b) && a.streamData == b.streamData;
}

levelgen::Bytes plain(const levelkit::Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

levelgen::Bytes tailFrom(const levelgen::Bytes& bytes, std::size_t offset) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end()};
}

TEST(LevelArchive, RewriteKeepsHeaderAndStreamsAndFixesChecksumSizeAndTail) {
    for (const std::uint16_t version : {0x203, 0x202, 0x0, 0xFFFF}) {
        SCOPED_TRACE(version);
        testsupport::ScratchDir dir;
        levelgen::LevelParts parts = levelgen::sampleLevel(version);
        parts.checksum = 1;
        parts.declaredSize = 2;
        parts.trailing = levelgen::pseudoRandomBytes(37, 5);
        const std::string path = writeLevel(dir, parts);

        LevelArchive archive;
        EXPECT_EQ(stdoutOf([&] { EXPECT_TRUE(levelkit::readLevelFile(archive, path)); }),
                  "Level " + path + " loaded.\n");
        EXPECT_EQ(archive.version, version);
        levelkit::updateChecksum(archive);
        levelkit::updateDeclaredSize(archive);
        EXPECT_EQ(stdoutOf([&] { EXPECT_TRUE(levelkit::writeLevelFile(archive, path)); }), "");

        const levelgen::Bytes written = levelgen::readFile(path);
        EXPECT_EQ(archive.checksum, levelgen::crc32Of(tailFrom(written, levelgen::kHeaderSize)));
        EXPECT_EQ(archive.declaredSize, written.size());
        parts.checksum.reset();
        parts.declaredSize.reset();
        parts.trailing.clear();
        EXPECT_EQ(written, levelgen::buildLevel(parts));
    }
}

TEST(LevelArchive, ChecksumCoversTheJoinedStreamsWhereverTheyAreCut) {
    // The reference CRC is the standard one.
    EXPECT_EQ(levelgen::crc32Of({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xCBF43926u);

    const levelgen::Bytes joined = levelgen::pseudoRandomBytes(400, 9);
    // Sizes of streams 0 to 2; stream 3 takes the rest. An empty stream adds nothing.
    const std::vector<std::array<std::size_t, 3>> cuts = {
        {100, 100, 100}, {1, 398, 0}, {0, 0, 0}, {250, 0, 150}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(testing::Message() << cut[0] << "/" << cut[1] << "/" << cut[2]);
        testsupport::ScratchDir dir;
        levelgen::LevelParts parts;
        std::size_t at = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t size = i < 3 ? cut[i] : joined.size() - at;
            parts.streams[i].compressed =
                levelgen::Bytes(joined.begin() + static_cast<std::ptrdiff_t>(at),
                                joined.begin() + static_cast<std::ptrdiff_t>(at + size));
            at += size;
        }
        parts.checksum = 0;
        LevelArchive archive = readLevel(writeLevel(dir, parts));
        levelkit::updateChecksum(archive);
        levelkit::updateDeclaredSize(archive);
        EXPECT_EQ(archive.checksum, levelgen::crc32Of(joined));
        EXPECT_EQ(archive.declaredSize, levelgen::kHeaderSize + joined.size());
    }
}

TEST(LevelArchive, StreamNumbersAddressTheirSlotModuloFour) {
    testsupport::ScratchDir dir;
    const std::string path = writeLevel(dir, levelgen::sampleLevel(levelgen::kSmallVersion));
    const std::vector<std::pair<int, std::size_t>> table = {
        {0, 0}, {2, 2}, {4, 0}, {7, 3}, {-1, 3}, {-3, 1}, {INT_MIN, 0}, {INT_MAX, 3}};
    for (const auto& entry : table) {
        const int n = entry.first;  // lambdas below cannot capture a structured binding in clang
        const std::size_t slot = entry.second;
        SCOPED_TRACE(n);
        LevelArchive archive = readLevel(path);
        const LevelArchive before = archive;
        const levelgen::Bytes data = levelgen::pseudoRandomBytes(50, 77);
        ASSERT_TRUE(levelkit::compressStream(archive, n, data));
        EXPECT_EQ(archive.streams[slot].uncompressedSize, 50u);
        EXPECT_EQ(plain(*archive.streamData[slot]), levelgen::compress(data));
        EXPECT_EQ(archive.streams[slot].compressedSize, archive.streamData[slot]->size());
        for (std::size_t other = 0; other < 4; ++other) {
            if (other != slot) {
                EXPECT_EQ(archive.streamData[other], before.streamData[other]) << other;
            }
        }
        std::optional<levelkit::Bytes> decoded;
        EXPECT_EQ(stdoutOf([&] { decoded = levelkit::decompressStream(archive, n); }), "");
        ASSERT_TRUE(decoded);
        EXPECT_EQ(plain(*decoded), data);

        // A size recorded too small makes the decode fail; the message names the slot.
        archive.streams[slot].uncompressedSize = 49;
        EXPECT_EQ(stdoutOf([&] { decoded = levelkit::decompressStream(archive, n); }),
                  "An error occurred while uncompressing stream" + std::to_string(slot) + "!\n");
        EXPECT_FALSE(decoded);
    }
}

TEST(LevelArchive, CompressingNothingIsRefusedAndKeepsTheSlot) {
    testsupport::ScratchDir dir;
    const levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    LevelArchive archive = readLevel(writeLevel(dir, parts));
    const LevelArchive before = archive;
    for (const int n : {2, 6}) {
        bool ok = true;
        EXPECT_EQ(stdoutOf([&] { ok = levelkit::compressStream(archive, n, {}); }),
                  "Bad input for compression!\n\n");
        EXPECT_FALSE(ok);
        EXPECT_TRUE(sameArchive(archive, before));
    }
    std::optional<levelkit::Bytes> decoded;
    stdoutOf([&] { decoded = levelkit::decompressStream(archive, 2); });
    ASSERT_TRUE(decoded);
    EXPECT_EQ(plain(*decoded), parts.streams[2].decoded);
}

TEST(LevelArchive, DecodeTakesTheRealLengthWithinTheRecordedSize) {
    const levelgen::LevelParts sample = levelgen::sampleLevel(levelgen::kSmallVersion);
    const levelgen::Bytes& truth = sample.streams[1].decoded;
    const auto real = static_cast<std::uint32_t>(truth.size());
    struct Case {
        std::uint32_t recorded;
        bool decodes;
    };
    // A huge recorded size must cost memory only for what really decodes.
    const std::vector<Case> table = {
        {real, true}, {real + 1, true}, {0xFFFFFFFFu, true}, {real - 1, false}, {0, false}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.recorded);
        testsupport::ScratchDir dir;
        levelgen::LevelParts parts = sample;
        parts.streams[1].recordedUncompressedSize = c.recorded;
        LevelArchive archive = readLevel(writeLevel(dir, parts));
        const LevelArchive before = archive;
        std::optional<levelkit::Bytes> decoded;
        const std::string out = stdoutOf([&] { decoded = levelkit::decompressStream(archive, 1); });
        if (c.decodes) {
            EXPECT_EQ(out, "");
            ASSERT_TRUE(decoded);
            EXPECT_EQ(plain(*decoded), truth);
            EXPECT_EQ(archive.streams[1].uncompressedSize, real);
            EXPECT_EQ(archive.streamData, before.streamData);
            EXPECT_EQ(archive.streams[1].compressedSize, before.streams[1].compressedSize);
        } else {
            EXPECT_EQ(out, "An error occurred while uncompressing stream1!\n");
            EXPECT_FALSE(decoded);
            EXPECT_TRUE(sameArchive(archive, before));
        }
    }
}

TEST(LevelArchive, DamagedStreamsFailToDecodeAndChangeNothing) {
    const levelgen::LevelParts sample = levelgen::sampleLevel(levelgen::kSmallVersion);
    const levelgen::Bytes good = levelgen::compress(sample.streams[3].decoded);
    levelgen::Bytes flipped = good;
    flipped[flipped.size() / 2] ^= 0x55;
    const std::vector<std::pair<const char*, levelgen::Bytes>> table = {
        {"no bytes at all", {}},
        {"not zlib", levelgen::pseudoRandomBytes(64, 4)},
        {"cut short", levelgen::Bytes(good.begin(), good.end() - 5)},
        {"a flipped byte", flipped},
    };
    for (const auto& [name, compressed] : table) {
        SCOPED_TRACE(name);
        testsupport::ScratchDir dir;
        levelgen::LevelParts parts = sample;
        parts.streams[3].compressed = compressed;
        LevelArchive archive = readLevel(writeLevel(dir, parts));
        const LevelArchive before = archive;
        std::optional<levelkit::Bytes> decoded;
        EXPECT_EQ(stdoutOf([&] { decoded = levelkit::decompressStream(archive, 3); }),
                  "An error occurred while uncompressing stream3!\n");
        EXPECT_FALSE(decoded);
        EXPECT_TRUE(sameArchive(archive, before));
    }
}

TEST(LevelArchive, ShortFileFailsToReadAndLeavesTheArchive) {
    testsupport::ScratchDir dir;
    LevelArchive archive = readLevel(writeLevel(dir, levelgen::sampleLevel(0x203), "old.lvl"));
    const LevelArchive before = archive;

    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    const std::size_t full = levelgen::buildLevel(parts).size();
    const std::size_t stream0End =
        levelgen::kHeaderSize + levelgen::compress(parts.streams[0].decoded).size();
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{261},
                                  std::size_t{262}, std::size_t{263}, stream0End, full - 1}) {
        SCOPED_TRACE(cut);
        parts.cutAt = cut;
        const std::string path = writeLevel(dir, parts);
        const std::size_t needed = cut < levelgen::kHeaderSize ? levelgen::kHeaderSize : full;
        EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(levelkit::readLevelFile(archive, path)); }),
                  "Failed to load file: " + path + " (it holds " + std::to_string(cut) +
                      " bytes, its header and streams need " + std::to_string(needed) + ")\n");
        EXPECT_TRUE(sameArchive(archive, before));
    }

    // A size recorded far beyond the file is refused before anything is allocated for it.
    parts.cutAt.reset();
    parts.streams[3].recordedCompressedSize = 0xFFFFFFFFu;
    const std::string path = writeLevel(dir, parts);
    const std::uint64_t needed =
        full - levelgen::compress(parts.streams[3].decoded).size() + 0xFFFFFFFFull;
    EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(levelkit::readLevelFile(archive, path)); }),
              "Failed to load file: " + path + " (it holds " + std::to_string(full) +
                  " bytes, its header and streams need " + std::to_string(needed) + ")\n");
    EXPECT_TRUE(sameArchive(archive, before));
}

TEST(LevelArchive, MissingFileFailsToReadAndLeavesTheArchive) {
    testsupport::ScratchDir dir;
    LevelArchive archive = readLevel(writeLevel(dir, levelgen::sampleLevel(0x203)));
    const LevelArchive before = archive;
    const std::string path = dir.file("missing.lvl");
    EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(levelkit::readLevelFile(archive, path)); }),
              "Failed to load file: " + path + "\n");
    EXPECT_TRUE(sameArchive(archive, before));
}

TEST(LevelArchive, WriteIntoAMissingFolderFailsWithTheReason) {
    testsupport::ScratchDir dir;
    const LevelArchive archive = readLevel(writeLevel(dir, levelgen::sampleLevel(0x203)));
    const std::string path = dir.file("no/such.lvl");
    EXPECT_EQ(stdoutOf([&] { EXPECT_FALSE(levelkit::writeLevelFile(archive, path)); }),
              "Failed to write file: " + path + " (No such file or directory)\n");
}

TEST(LevelArchive, ReleaseFreesEveryStreamAndKeepsTheSizes) {
    testsupport::ScratchDir dir;
    LevelArchive archive = readLevel(writeLevel(dir, levelgen::sampleLevel(0x203)));
    const auto sizes = archive.streams;
    levelkit::releaseStreams(archive);
    levelkit::releaseStreams(archive);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(archive.streamData[i]) << i;
        EXPECT_EQ(archive.streams[i].compressedSize, sizes[i].compressedSize) << i;
        EXPECT_EQ(archive.streams[i].uncompressedSize, sizes[i].uncompressedSize) << i;
    }
}

}  // namespace

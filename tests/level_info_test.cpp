#include "content/level_info.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "level_builder.hpp"

namespace {

using levelgen::Bytes;

// An archive in memory whose stream 0 decodes to `decoded`; the other streams play no part here.
levelkit::LevelArchive archiveWithInfo(std::uint16_t version, const Bytes& decoded) {
    levelkit::LevelArchive archive;
    archive.version = version;
    const Bytes compressed = levelgen::compress(decoded);
    archive.streams[0] = {static_cast<std::uint32_t>(compressed.size()),
                          static_cast<std::uint32_t>(decoded.size())};
    archive.streamData[0] = levelkit::Bytes(compressed.begin(), compressed.end());
    return archive;
}

Bytes storedInfo(const levelkit::LevelArchive& archive) {
    const Bytes compressed(archive.streamData[0]->begin(), archive.streamData[0]->end());
    return levelgen::decompress(compressed, archive.streams[0].uncompressedSize).value_or(Bytes{});
}

// Random opaque bytes everywhere, a few animation records in use and a map size, so that a field
// at a wrong offset or width shows as a changed byte or a wrong value.
levelgen::InfoParts sampleInfo(std::uint16_t version) {
    levelgen::InfoParts parts;
    parts.version = version;
    parts.animCount = 3;
    parts.eventWidth = 0x01020304;
    parts.eventHeight = 0x0A0B0C0D;
    parts.opaqueSeed = 0x5EED + version;
    levelgen::AnimPart first;
    first.frameCount = 4;
    first.frames = {0x1234, 0xF001, 7, 8, 0xBEEF};
    levelgen::AnimPart second;
    second.frameCount = 64;
    second.frames.fill(0x0ABC);
    second.frames[63] = 0xFFFF;
    parts.animations = {first, second};
    return parts;
}

struct LayoutCase {
    std::uint16_t version;
    std::size_t infoSize;
    std::size_t tileCount;
    std::size_t animationCount;
};

// Only 0x203 selects the large layout; a wrong choice would fail the parse (too short) or store a
// stream of the other length.
const LayoutCase kLayoutCases[] = {
    {0x203, 73069, 4096, 256},
    {0x202, 34029, 1024, 128},
    {0x0000, 34029, 1024, 128},
    {0xFFFF, 34029, 1024, 128},
};

TEST(LevelInfo, ParseThenStoreGivesBackTheSameBytesInEitherLayout) {
    for (const LayoutCase& c : kLayoutCases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        const Bytes original = levelgen::makeLevelInfo(sampleInfo(c.version));
        ASSERT_EQ(original.size(), c.infoSize);
        levelkit::LevelArchive archive = archiveWithInfo(c.version, original);

        levelkit::LevelInfo info;
        ASSERT_TRUE(levelkit::parseLevelInfo(archive, info));
        EXPECT_EQ(info.animCount, 3);
        EXPECT_EQ(info.layerWidth[levelkit::kEventLayer], 0x01020304u);
        EXPECT_EQ(info.layerHeight[levelkit::kEventLayer], 0x0A0B0C0Du);
        EXPECT_EQ(info.animations[0].frameCount, 4);
        EXPECT_EQ(info.animations[0].frames[1], 0xF001);
        EXPECT_EQ(info.animations[0].frames[4], 0xBEEF);  // beyond frameCount, still parsed
        EXPECT_EQ(info.animations[1].frames[63], 0xFFFF);
        EXPECT_EQ(info.tileWords.size(), c.tileCount);
        EXPECT_EQ(info.tileBytes3.size(), c.tileCount);

        // A slot beyond the layout's records is neither read nor written.
        if (c.animationCount < levelkit::kMaxAnimations) {
            EXPECT_EQ(info.animations[c.animationCount].frameCount, 0);
            info.animations[c.animationCount].frameCount = 9;
            info.animations[c.animationCount].frames[0] = 0x7777;
        }

        ASSERT_TRUE(levelkit::storeLevelInfo(info, archive));
        EXPECT_EQ(archive.streams[0].uncompressedSize, c.infoSize);
        EXPECT_TRUE(storedInfo(archive) == original);

        levelkit::releaseLevelInfo(info);
        levelkit::releaseLevelInfo(info);
        EXPECT_TRUE(info.tileWords.empty() && info.tileBytes1.empty() && info.tileBytes2.empty() &&
                    info.tileBytes3.empty());
    }
}

TEST(LevelInfo, StoreWritesChangedFieldsAtTheirOffsets) {
    for (const LayoutCase& c : kLayoutCases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        const Bytes original = levelgen::makeLevelInfo(sampleInfo(c.version));
        levelkit::LevelArchive archive = archiveWithInfo(c.version, original);
        levelkit::LevelInfo info;
        ASSERT_TRUE(levelkit::parseLevelInfo(archive, info));

        info.animCount = 0x0102;
        info.animations[1].frames[2] = 0x4321;
        info.animations[c.animationCount - 1].frameCount = 17;
        ASSERT_TRUE(levelkit::storeLevelInfo(info, archive));

        Bytes expected = original;
        levelgen::putLE(expected, levelgen::kAnimCountOffset, 2, 0x0102);
        levelgen::putLE(expected, levelgen::animRecordOffset(c.version, 1) + 9 + 2 * 2, 2, 0x4321);
        expected.at(levelgen::animRecordOffset(c.version, c.animationCount - 1) + 8) = 17;
        EXPECT_TRUE(storedInfo(archive) == expected);
    }
}

TEST(LevelInfo, LongerStreamIsStoredBackAtTheLayoutLength) {
    for (const std::uint16_t version : {levelgen::kSmallVersion, levelgen::kLargeVersion}) {
        SCOPED_TRACE("version " + std::to_string(version));
        const Bytes fixed = levelgen::makeLevelInfo(sampleInfo(version));
        Bytes longer = fixed;
        const Bytes extra = levelgen::pseudoRandomBytes(100, 3);
        longer.insert(longer.end(), extra.begin(), extra.end());
        levelkit::LevelArchive archive = archiveWithInfo(version, longer);

        levelkit::LevelInfo info;
        ASSERT_TRUE(levelkit::parseLevelInfo(archive, info));
        ASSERT_TRUE(levelkit::storeLevelInfo(info, archive));
        EXPECT_EQ(archive.streams[0].uncompressedSize, fixed.size());
        EXPECT_TRUE(storedInfo(archive) == fixed);
    }
}

TEST(LevelInfo, ShorterStreamFailsWithAMessageAndAllocatesNothing) {
    struct Case {
        std::uint16_t version;
        std::size_t decodedSize;
        const char* message;
    };
    const Case cases[] = {
        {levelgen::kSmallVersion, 34028,
         "Stream 0 decodes to 34028 bytes, fewer than the 34029 of its layout!\n"},
        // A small-layout stream in a level whose version claims the large layout.
        {levelgen::kLargeVersion, 34029,
         "Stream 0 decodes to 34029 bytes, fewer than the 73069 of its layout!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        Bytes decoded = levelgen::makeLevelInfo(sampleInfo(levelgen::kSmallVersion));
        decoded.resize(c.decodedSize);
        levelkit::LevelArchive archive = archiveWithInfo(c.version, decoded);

        levelkit::LevelInfo info;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(levelkit::parseLevelInfo(archive, info));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_TRUE(info.tileWords.empty() && info.tileBytes1.empty() && info.tileBytes2.empty() &&
                    info.tileBytes3.empty());
        EXPECT_EQ(info.animCount, 0);
    }
}

TEST(LevelInfo, UndecodableStreamPrintsBothMessages) {
    levelkit::LevelArchive archive = archiveWithInfo(levelgen::kSmallVersion, Bytes(34029, 0));
    archive.streamData[0]->resize(archive.streamData[0]->size() / 2);
    archive.streams[0].compressedSize /= 2;
    levelkit::LevelInfo info;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(levelkit::parseLevelInfo(archive, info));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "An error occurred while uncompressing stream0!\n"
              "An error occurred while uncompressing stream 0!\n");
    EXPECT_TRUE(info.tileWords.empty());
}

}  // namespace

#include "archive/level_archive.hpp"

#include <gtest/gtest.h>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

TEST(LevelArchive, ReadThenWriteKeepsEverythingButChecksumAndSize) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("a.lvl");
    levelgen::LevelParts parts = levelgen::sampleLevel(levelgen::kSmallVersion);
    parts.checksum = 1;
    levelgen::writeFile(path, levelgen::buildLevel(parts));

    levelkit::LevelArchive archive;
    ASSERT_TRUE(levelkit::readLevelFile(archive, path));
    levelkit::updateChecksum(archive);
    levelkit::updateDeclaredSize(archive);
    ASSERT_TRUE(levelkit::writeLevelFile(archive, path));
    parts.checksum.reset();
    EXPECT_EQ(levelgen::readFile(path), levelgen::buildLevel(parts));
}

TEST(Cli, NoArgumentsPrintsUsageWithoutLineBreak) {
    const testsupport::RunResult run = testsupport::runLevelkit({});
    EXPECT_EQ(run.out, "You're doing it wrong!");
    EXPECT_EQ(run.status, 0);
}

}  // namespace

#include "archive/level_archive.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "level_builder.hpp"

namespace {

TEST(LevelArchive, ReadThenWriteKeepsEverythingButChecksumAndSize) {
    const auto dir = std::filesystem::temp_directory_path() / "levelkit_smoke";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.lvl").string();
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

}  // namespace

// The command line: which mode each argument list reaches, told apart by what each mode prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

// Every case runs in a folder holding only the level "lvl"; "none" names no file.
const std::string kUsage = "You're doing it wrong!";
const std::string kFuse =
    "Level lvl loaded.\nCouldn't find stream 0!\nCouldn't find stream 1!\nCouldn't find stream "
    "2!\nCouldn't find stream 3!\nAvailable datastreams successfully compressed!\n\n";
const std::string kSplit = "Level lvl loaded.\nDatastreams successfully extracted!\n\n";
const std::string kTileSwap = "Failed to load swaplist. Quitting!\n";

std::string statistics(const std::string& path) {
    return "Failed to load file: " + path + "\nFailed to load '" + path + "'! Quitting...\n";
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Dispatch, ArgumentsChooseTheRoute) {
    const std::vector<std::string> onlyLevel = {"lvl"};
    const std::vector<std::string> split = {"lvl", "lvl.data0", "lvl.data1", "lvl.data2",
                                            "lvl.data3"};
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::vector<std::string> files;
    };
    const std::vector<Case> table = {
        {{}, kUsage, onlyLevel},
        {{"FUSE", "lvl", "lvl"}, kUsage, onlyLevel},
        {{"a", "b", "c", "d"}, kUsage, onlyLevel},
        {{"FUSE", "lvl"}, kFuse, onlyLevel},
        {{"fuse", "lvl"}, kFuse, onlyLevel},
        {{"FuSe", "lvl"}, kFuse, onlyLevel},
        {{"SPLIT", "lvl"}, kSplit, split},
        {{"split", "lvl"}, kSplit, split},
        {{"sPLiT", "lvl"}, kSplit, split},
        {{"FUSED", "none"}, kTileSwap, onlyLevel},
        {{"SPLIT2", "none"}, kTileSwap, onlyLevel},
        {{" FUSE", "none"}, kTileSwap, onlyLevel},
        {{"SPLIT ", "none"}, kTileSwap, onlyLevel},
        {{"FUS", "none"}, kTileSwap, onlyLevel},
        {{"\xC6USE", "none"}, kTileSwap, onlyLevel},  // only A to Z fold, not bytes above 127
        {{"", "none"}, kTileSwap, onlyLevel},
        {{"lvl", "none"}, kTileSwap, onlyLevel},
        {{"FUSE"}, statistics("FUSE"), onlyLevel},
        {{"split"}, statistics("split"), onlyLevel},
        {{"none"}, statistics("none"), onlyLevel},
    };
    const levelgen::Bytes level =
        levelgen::buildLevel(levelgen::sampleLevel(levelgen::kSmallVersion));
    for (const Case& c : table) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        testsupport::ScratchDir dir;
        levelgen::writeFile(dir.file("lvl"), level);
        const testsupport::RunResult run = testsupport::runLevelkit(
            c.args, {.fileSizeLimit = {}, .workingDirectory = dir.path().string()});
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(filesIn(dir.path()), c.files);
        if (c.out != kFuse) {
            EXPECT_EQ(levelgen::readFile(dir.file("lvl")), level);
        }
    }
}

}  // namespace

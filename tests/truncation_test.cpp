// A generated level of each layout cut at every length short of its full size, through every mode:
// each must refuse the level with a message, claim no success, and leave every file as it was.
//
// The sweep runs in-process (tens of thousands of lengths); the built tool is run at the boundaries
// of the header and of each stream, for the exit status and the whole output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/level_archive.hpp"
#include "archive/loaded_level.hpp"
#include "level_builder.hpp"
#include "test_support.hpp"
#include "tool/level_stats.hpp"
#include "tool/stream_files.hpp"
#include "tool/tile_swap.hpp"

namespace {

namespace fs = std::filesystem;
using levelgen::Bytes;

// Standard output sent to a file for the life of the object, read back and emptied on demand.
// gtest reports on standard output too, so nothing is asserted while it is captured.
class CapturedStdout {
public:
    explicit CapturedStdout(const std::string& path) {
        std::fflush(stdout);
        saved_ = ::dup(1);
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd_, 1);
    }
    ~CapturedStdout() {
        std::fflush(stdout);
        ::dup2(saved_, 1);
        ::close(saved_);
        ::close(fd_);
    }
    CapturedStdout(const CapturedStdout&) = delete;
    CapturedStdout& operator=(const CapturedStdout&) = delete;

    std::string take() {
        std::fflush(stdout);
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        std::string text(static_cast<std::size_t>(size), '\0');
        if (::pread(fd_, text.data(), text.size(), 0) != size) {
            text = "(unreadable)";
        }
        ::ftruncate(fd_, 0);
        ::lseek(fd_, 0, SEEK_SET);
        return text;
    }

private:
    int saved_ = -1;
    int fd_ = -1;
};

// What tells that a file was left alone: a replacement changes the inode, a write the time.
struct FileState {
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileState& other) const {
        return inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileState stateOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    return {info.st_ino, info.st_size, info.st_mtim};
}

bool claimsSuccess(const std::string& out) {
    return out.find("successfully") != std::string::npos ||
           out.find("Statsfile created") != std::string::npos;
}

// A folder holding the cut level, a swap list, and an older raw stream file of every stream and
// older report that no mode may touch.
struct Bench {
    testsupport::ScratchDir dir;
    std::string level = dir.file("cut.lvl");
    std::string swapList = dir.file("swap.txt");
    std::vector<std::string> bystanders;

    Bench() {
        levelgen::writeFile(swapList, {'1', ' ', '2', ' ', '2', ' ', '1'});
        for (int i = 0; i < 4; ++i) {
            bystanders.push_back(levelkit::rawStreamFileName(level, i));
        }
        bystanders.push_back(levelkit::statsFileName(level));
        for (const std::string& path : bystanders) {
            levelgen::writeFile(path, {'o', 'l', 'd'});
        }
        bystanders.push_back(swapList);
    }
};

// The sample level; in the large layout with zero opaque bytes in stream 0, which keeps the file
// (and so the number of lengths) small while its streams still hold a little of everything.
levelgen::LevelParts levelFor(std::uint16_t version) {
    levelgen::LevelParts parts = levelgen::sampleLevel(version);
    if (version == levelgen::kLargeVersion) {
        levelgen::InfoParts info;
        info.version = version;
        info.animCount = 1;
        info.eventWidth = 16;
        info.eventHeight = 8;
        info.animations.resize(1);
        info.animations[0].frameCount = 2;
        info.animations[0].frames = {1, 2};
        parts.streams[0].decoded = levelgen::makeLevelInfo(info);
    }
    return parts;
}

class Truncation : public testing::TestWithParam<std::uint16_t> {};

TEST_P(Truncation, EveryShorterLengthFailsEveryModeAndChangesNoFile) {
    Bench bench;
    const Bytes full = levelgen::buildLevel(levelFor(GetParam()));
    levelgen::writeFile(bench.level, full);
    {
        levelkit::LoadedLevel level;
        ASSERT_TRUE(levelkit::loadLevel(level, bench.level, 7)) << "the uncut level loads";
        levelkit::releaseLevel(level);
    }
    std::vector<FileState> before;
    for (const std::string& path : bench.bystanders) {
        before.push_back(stateOf(path));
    }

    std::vector<std::string> failures;
    const auto fail = [&failures](std::size_t length, const std::string& what) {
        if (failures.size() < 20) {
            failures.push_back("length " + std::to_string(length) + ": " + what);
        }
    };
    std::size_t tried = 0;
    {
        CapturedStdout out(bench.dir.file("stdout"));
        out.take();
        // Cutting from the end down keeps each step one truncate, whatever the level's size.
        for (std::size_t length = full.size(); length-- > 0;) {
            ++tried;
            if (::truncate(bench.level.c_str(), static_cast<off_t>(length)) != 0) {
                fail(length, "cannot cut the level");
                break;
            }
            const FileState cut = stateOf(bench.level);
            levelkit::LevelArchive archive;
            if (levelkit::readLevelFile(archive, bench.level)) {
                fail(length, "readLevelFile succeeded");
            }
            levelkit::LoadedLevel level;
            if (levelkit::loadLevel(
                    level, bench.level,
                    levelkit::LoadInfo | levelkit::LoadEvents | levelkit::LoadDictionary)) {
                fail(length, "loadLevel succeeded");
                levelkit::releaseLevel(level);
            }
            if (levelkit::splitLevel(bench.level)) {
                fail(length, "splitLevel succeeded");
            }
            if (levelkit::fuseLevel(bench.level)) {
                fail(length, "fuseLevel succeeded");
            }
            levelkit::swapTiles(bench.level, bench.swapList);
            levelkit::writeLevelStats(bench.level);

            const std::string said = out.take();
            if (said.find("Failed to load file: " + bench.level) == std::string::npos) {
                fail(length, "no message names the level: " + said);
            }
            if (claimsSuccess(said)) {
                fail(length, "a success line: " + said);
            }
            if (!(stateOf(bench.level) == cut)) {
                fail(length, "the level changed");
            }
            for (std::size_t i = 0; i < bench.bystanders.size(); ++i) {
                if (!(stateOf(bench.bystanders[i]) == before[i])) {
                    fail(length, bench.bystanders[i] + " changed");
                }
            }
            // The level, the bystanders and the captured output: no temporary file or new file.
            const auto entries =
                std::distance(fs::directory_iterator(bench.dir.path()), fs::directory_iterator());
            if (entries != static_cast<long>(bench.bystanders.size()) + 2) {
                fail(length, "a file was left in the folder");
            }
        }
    }
    EXPECT_EQ(tried, full.size());
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
}

// The tool itself at the lengths where the reader's view changes: in the header, at its end, and
// at both sides of each stream's end.
TEST_P(Truncation, TheToolRefusesACutLevelAtEveryBoundary) {
    const levelgen::LevelParts parts = levelFor(GetParam());
    const Bytes full = levelgen::buildLevel(parts);
    std::vector<std::size_t> lengths = {0, 1, 219, 220, 261, 262, 263};
    std::size_t end = levelgen::kHeaderSize;
    for (const levelgen::StreamPart& stream : parts.streams) {
        end += levelgen::compress(stream.decoded).size();
        lengths.insert(lengths.end(), {end - 1, end, end + 1});
    }
    ASSERT_EQ(end, full.size());
    lengths.pop_back();  // the last boundary is the full level
    lengths.pop_back();

    for (const std::size_t length : lengths) {
        SCOPED_TRACE("length " + std::to_string(length));
        Bench bench;
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        levelgen::writeFile(bench.level, cut);
        const std::vector<std::vector<std::string>> commands = {{"SPLIT", bench.level},
                                                                {"fuse", bench.level},
                                                                {bench.level, bench.swapList},
                                                                {bench.level}};
        for (const std::vector<std::string>& args : commands) {
            const testsupport::RunResult run = testsupport::runLevelkit(args);
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_NE(run.out.find("Failed to load file: " + bench.level), std::string::npos)
                << run.out;
            EXPECT_FALSE(claimsSuccess(run.out)) << run.out;
        }
        EXPECT_EQ(levelgen::readFile(bench.level), cut);
        for (std::size_t i = 0; i + 1 < bench.bystanders.size(); ++i) {
            EXPECT_EQ(levelgen::readFile(bench.bystanders[i]), (Bytes{'o', 'l', 'd'}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Truncation,
                         testing::Values(levelgen::kSmallVersion, levelgen::kLargeVersion),
                         [](const testing::TestParamInfo<std::uint16_t>& info) {
                             return info.param == levelgen::kLargeVersion ? "Large" : "Small";
                         });

}  // namespace

// Shared helpers of the test suite: scratch folders and running the built tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "level_builder.hpp"

namespace testsupport {

// A fresh folder under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A path inside the folder, as a string.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct RunResult {
    std::string out;  // everything the tool wrote to standard output
    std::string err;  // standard error (the tool writes none; sanitizers do)
    int status = -1;  // exit status, or -1 when the tool did not exit normally
};

struct RunOptions {
    // Limits the size of files the tool may write (RLIMIT_FSIZE), with SIGXFSZ ignored, so that a
    // write beyond it fails with EFBIG: a full disk, as seen by the tool, even when run as root.
    std::optional<std::uint64_t> fileSizeLimit;
    std::string workingDirectory;  // empty: the test's own
};

// True when the tests run a Windows build of the tool (LEVELKIT_TARGET=windows, set by
// scripts/windows-test): its text files end lines in "\r\n", and it keeps no permission bits.
bool windowsTarget();

// `text` with every "\r\n" turned into "\n": what a text-mode reader on Windows sees.
std::string withLineFeeds(const std::string& text);

// The reason in "Failed to write file: PATH (reason)" when RunOptions::fileSizeLimit stops a write:
// strerror(EFBIG) on Linux; wine hands EFBIG to a Windows program as ERROR_GEN_FAILURE.
std::string fileSizeLimitReason();

// Runs the built levelkit with `args` (without the program name), or the program named by the
// environment variable LEVELKIT_EXE when it is set (scripts/windows-test points it at a script that
// starts levelkit.exe under wine). A Windows build's "\r\n" on standard output reads as "\n".
RunResult runLevelkit(const std::vector<std::string>& args, const RunOptions& options = {});

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testsupport

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

// Runs the built levelkit with `args` (without the program name).
RunResult runLevelkit(const std::vector<std::string>& args, const RunOptions& options = {});

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testsupport

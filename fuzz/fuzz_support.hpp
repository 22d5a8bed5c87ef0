// What every fuzz target shares: the input cap, a scratch folder for the files the library must
// read and write, quiet standard output, and a check that aborts so that libFuzzer records the
// input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace fuzzsupport {

// Inputs beyond this are skipped: levels of interest are small, and large inputs only slow the
// search down.
inline constexpr std::size_t kMaxInputSize = 64 * 1024;

// A folder for the whole process, reused by every input and removed when the process exits. It
// lives on a memory file system when there is one, where the fsync of every save costs nothing.
class Scratch {
public:
    Scratch() {
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base =
            ::access(shm.c_str(), W_OK) == 0 ? shm : std::filesystem::temp_directory_path();
        std::string pattern = (base / "levelkit-fuzz.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
        // The library reports on standard output; libFuzzer's own report on standard error stays
        // readable without it.
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            std::abort();
        }
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline const Scratch& scratch() {
    static const Scratch instance;
    return instance;
}

inline void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

inline void writeBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "the scratch file can be written");
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

}  // namespace fuzzsupport

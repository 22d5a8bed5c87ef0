// What every fuzz target shares: the input cap, a scratch folder for the files the library must
// read and write, quiet standard output, and a check that aborts so that libFuzzer records the
// input.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
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
//
// libFuzzer leaves without running destructors when it is interrupted or finds a crash, so the
// folder is named after the process, and each new process removes the folders of processes that
// are gone.
class Scratch {
public:
    Scratch() {
        namespace fs = std::filesystem;
        const fs::path shm = "/dev/shm";
        const fs::path base = ::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path();
        removeAbandoned(base);
        path_ = base / (kPrefix + std::to_string(::getpid()));
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        if (!fs::create_directory(path_, ignored)) {
            std::perror("scratch folder");
            std::abort();
        }
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
    static inline const std::string kPrefix = "levelkit-fuzz.";

    static void removeAbandoned(const std::filesystem::path& base) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kPrefix, 0) != 0) {
                continue;
            }
            const std::string pid = name.substr(kPrefix.size());
            if (!pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos &&
                ::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH) {
                std::filesystem::remove_all(entry.path(), error);
            }
        }
    }

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

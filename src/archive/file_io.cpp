#include "archive/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace levelkit {
namespace {

// The file that a write to `path` must replace: the end of a chain of symbolic links, or the path
// itself when it does not exist yet.
std::string resolveTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// New files get what fopen would give them: 0666 under the umask.
mode_t permissionsFor(const std::string& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the rename itself durable. A failure here comes after the new file is in place, so it
// changes nothing the caller could act on.
void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool reportWriteFailure(const std::string& path, int error) {
    std::printf("Failed to write file: %s (%s)\n", path.c_str(), std::strerror(error));
    return false;
}

}  // namespace

FilePtr openFile(const std::string& path, const char* mode) {
    return FilePtr(std::fopen(path.c_str(), mode));
}

std::optional<std::uint64_t> fileLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const long length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
}

bool readExactly(std::FILE* file, std::span<std::uint8_t> out) {
    return out.empty() || std::fread(out.data(), 1, out.size(), file) == out.size();
}

bool replaceFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces) {
    const std::string target = resolveTarget(path);
    std::string temp = directoryOf(target) + "/." + baseNameOf(target) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return reportWriteFailure(path, errno);
    }
    bool ok = ::fchmod(fd, permissionsFor(target)) == 0;
    for (std::size_t i = 0; ok && i < pieces.size(); ++i) {
        ok = writeAll(fd, pieces[i]);
    }
    ok = ok && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return reportWriteFailure(path, error);
    }
    syncDirectory(directoryOf(target));
    return true;
}

}  // namespace levelkit

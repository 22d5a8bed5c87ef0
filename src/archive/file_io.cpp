#include "archive/file_io.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace levelkit {
namespace {

#ifdef _WIN32

// Paths travel through the program as UTF-8 (see main.cpp); Windows wants them as UTF-16.
std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

bool reportWriteFailure(const std::string& path, DWORD error) {
    wchar_t* text = nullptr;
    ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text != nullptr ? utf8FromWide(text) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    std::printf("Failed to write file: %s (%s)\n", path.c_str(), reason.c_str());
    return false;
}

// The file that a write to `path` must replace: the final target of a link, or the path itself
// when it does not exist yet.
std::wstring resolveTarget(const std::wstring& path) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length =
        ::GetFinalPathNameByHandleW(file, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    if (length >= resolved.size()) {
        resolved.resize(length);
        length = ::GetFinalPathNameByHandleW(file, resolved.data(),
                                             static_cast<DWORD>(resolved.size()), 0);
    }
    ::CloseHandle(file);
    if (length == 0 || length >= resolved.size()) {
        return path;
    }
    resolved.resize(length);
    return resolved;
}

bool writeAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

#else

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

#endif

}  // namespace

#ifdef _WIN32

std::string utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

// _wfopen, so that a name in any script opens: fopen would take it in the ANSI code page.
FilePtr openFile(const std::string& path, const char* mode) {
    return FilePtr(::_wfopen(widen(path).c_str(), widen(mode).c_str()));
}

// 64-bit offsets: long, which fseek and ftell use, has 32 bits on Windows.
std::optional<std::uint64_t> fileLength(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const __int64 length = ::_ftelli64(file);
    if (length < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
}

#else

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

#endif

bool readExactly(std::FILE* file, std::span<std::uint8_t> out) {
    return out.empty() || std::fread(out.data(), 1, out.size(), file) == out.size();
}

#ifdef _WIN32

// The temporary file gets a name of its own beside the target (CREATE_NEW fails rather than reuse
// one); MoveFileExW then swaps it in, and MOVEFILE_WRITE_THROUGH returns only once the move is on
// disk, as the directory sync does on POSIX.
bool replaceFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces) {
    const std::wstring target = resolveTarget(widen(path));
    const std::size_t cut = target.find_last_of(L"\\/:");
    const std::wstring directory = cut == std::wstring::npos ? L"" : target.substr(0, cut + 1);
    const std::wstring base = cut == std::wstring::npos ? target : target.substr(cut + 1);
    const std::wstring stem =
        directory + L"." + base + L"." + std::to_wstring(::GetCurrentProcessId()) + L".";
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp = stem + std::to_wstring(attempt) + L".tmp";
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return reportWriteFailure(path, ::GetLastError());
    }
    bool ok = true;
    for (std::size_t i = 0; ok && i < pieces.size(); ++i) {
        ok = writeAll(file, pieces[i]);
    }
    ok = ok && ::FlushFileBuffers(file);
    DWORD error = ::GetLastError();
    ::CloseHandle(file);
    if (ok && !::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        return reportWriteFailure(path, error);
    }
    return true;
}

#else

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

#endif

bool replaceTextFile(const std::string& path, std::string_view text) {
#ifdef _WIN32
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    text = converted;
#endif
    const std::span<const std::uint8_t> pieces[] = {
        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}};
    return replaceFile(path, pieces);
}

}  // namespace levelkit

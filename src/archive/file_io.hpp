// Whole-file input and the one safe way of replacing a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace levelkit {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens with the C library's modes ("rb" for every input of this tool). On Windows `path` is UTF-8,
// so that names in any script open.
FilePtr openFile(const std::string& path, const char* mode);

// The length of an open file, found by seeking to its end and back to the start.
std::optional<std::uint64_t> fileLength(std::FILE* file);

// Reads exactly `out.size()` bytes; false on a short read or a read error.
bool readExactly(std::FILE* file, std::span<std::uint8_t> out);

// Replaces the file at `path` with the concatenation of `pieces`, so that at every moment the path
// holds either its old content or the complete new one: the bytes go to a temporary file beside the
// target, which is synced and then renamed over it. A symbolic link is kept and the file it points
// to is replaced; an existing file keeps its permission bits.
//
// On failure the temporary file is removed, the old file is untouched, and
// "Failed to write file: <path> (<reason>)" is printed.
//
// On Windows paths are UTF-8 and the replacement is MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH) of a flushed temporary file; a link there is followed as well, but the
// new file takes the folder's default permissions.
bool replaceFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces);

#ifdef _WIN32
// Text that Windows hands over as UTF-16 (arguments, system messages), in the UTF-8 that every path
// and message has inside the program.
std::string utf8FromWide(std::wstring_view wide);
#endif

// `replaceFile` for a text file, which is what a file opened with mode "w" gets: every "\n" of
// `text` becomes the platform's line end ("\r\n" on Windows).
bool replaceTextFile(const std::string& path, std::string_view text);

}  // namespace levelkit

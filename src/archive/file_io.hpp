// Whole-file input and the one safe way of replacing a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace levelkit {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens with the C library's modes ("rb" for every input of this tool).
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
bool replaceFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces);

}  // namespace levelkit

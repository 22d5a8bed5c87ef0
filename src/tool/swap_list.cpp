#include "tool/swap_list.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "archive/bytes.hpp"
#include "archive/file_io.hpp"

namespace levelkit {
namespace {

constexpr bool isDigit(std::uint8_t byte) {
    return byte >= '0' && byte <= '9';
}
constexpr bool isSeparator(std::uint8_t byte) {
    return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
}
constexpr bool isPermitted(std::uint8_t byte) {
    return isDigit(byte) || isSeparator(byte);
}

// Reads the whole file. The length it reports is not trusted for the allocation: a directory
// reports an enormous one and then fails to read. So the buffer grows with the bytes actually read,
// and a byte that is not permitted ends the read at once (a large sparse file is all NUL bytes).
std::optional<Bytes> readPermittedText(std::FILE* file) {
    Bytes text;
    std::array<std::uint8_t, 64 * 1024> chunk;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        const std::span<const std::uint8_t> read(chunk.data(), got);
        if (!std::all_of(read.begin(), read.end(), isPermitted)) {
            return std::nullopt;
        }
        text.insert(text.end(), read.begin(), read.end());
        if (got < chunk.size()) {
            if (std::ferror(file)) {
                return std::nullopt;
            }
            return text;
        }
    }
}

// Converts the next digit run at or after `pos`, leaving `pos` after it. Saturates at 32 bits.
std::uint32_t nextNumber(std::span<const std::uint8_t> text, std::size_t& pos) {
    while (pos < text.size() && !isDigit(text[pos])) {
        ++pos;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        value = std::min(kMax, value * 10 + (text[pos] - '0'));
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<SwapList> parseSwapList(std::span<const std::uint8_t> text) {
    // Validate the whole text before converting anything, so a bad byte after valid pairs still
    // rejects the file.
    std::size_t numbers = 0;
    bool afterSeparator = true;
    for (const std::uint8_t byte : text) {
        if (isDigit(byte)) {
            numbers += afterSeparator ? 1 : 0;
            afterSeparator = false;
        } else if (isSeparator(byte)) {
            afterSeparator = true;
        } else {
            return std::nullopt;
        }
    }
    SwapList list;
    list.entries.reserve(numbers / 2);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < numbers / 2; ++i) {
        const std::uint32_t from = nextNumber(text, pos);
        const std::uint32_t to = nextNumber(text, pos);
        list.entries.push_back(makeSwapEntry(from, to));
    }
    return list;
}

std::optional<SwapList> readSwapList(const std::string& path) {
    const FilePtr file = openFile(path, "rb");
    if (!file) {
        return std::nullopt;
    }
    const std::optional<Bytes> text = readPermittedText(file.get());
    if (!text) {
        return std::nullopt;
    }
    return parseSwapList(*text);
}

}  // namespace levelkit

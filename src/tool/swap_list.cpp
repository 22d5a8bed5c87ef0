#include "tool/swap_list.hpp"

#include <algorithm>
#include <limits>

#include "archive/bytes.hpp"
#include "archive/file_io.hpp"

namespace levelkit {
namespace {

constexpr bool isDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }
constexpr bool isSeparator(std::uint8_t byte) {
    return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
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
    const std::optional<std::uint64_t> length = fileLength(file.get());
    if (!length || *length > std::numeric_limits<std::size_t>::max()) {
        return std::nullopt;
    }
    Bytes text(static_cast<std::size_t>(*length));
    if (!readExactly(file.get(), text)) {
        return std::nullopt;
    }
    return parseSwapList(text);
}

}  // namespace levelkit

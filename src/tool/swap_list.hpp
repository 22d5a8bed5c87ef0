// A swap list: decimal tile numbers in pairs, "replace the first by the second", separated by tabs,
// line feeds, carriage returns and spaces. Any other byte rejects the whole file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace levelkit {

// One pair, packed as (toTile << 16) | fromTile, 12 bits each.
using SwapEntry = std::uint32_t;

inline constexpr std::uint32_t kSwapTileMask = 0xFFF;

constexpr SwapEntry makeSwapEntry(std::uint32_t from, std::uint32_t to) {
    return ((to & kSwapTileMask) << 16) | (from & kSwapTileMask);
}
constexpr std::uint32_t fromTile(SwapEntry entry) { return entry & kSwapTileMask; }
constexpr std::uint32_t toTile(SwapEntry entry) { return (entry >> 16) & kSwapTileMask; }

struct SwapList {
    std::vector<SwapEntry> entries;  // in file order, duplicates kept
};

// Parses swap-list bytes; no list when a byte is not a digit or a separator. Fewer than two numbers
// give an empty list; an odd last number is ignored; a digit run beyond 32 bits counts as
// 4294967295.
std::optional<SwapList> parseSwapList(std::span<const std::uint8_t> text);

// Reads and parses a swap-list file; no list when it cannot be read or is rejected. Prints nothing.
std::optional<SwapList> readSwapList(const std::string& path);

}  // namespace levelkit

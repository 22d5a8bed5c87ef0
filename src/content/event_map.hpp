// Stream 1, the event map: one little-endian 32-bit EventWord per cell of the level's event grid,
// row after row with no gap. Its width and height are entry 3 of layerWidth and layerHeight in the
// level information.
//
//   bits  0-7   eventType      0 marks an empty cell
//   bits 12-16  triggerId      types of kind Trigger
//   bits 12-15  textId         types of kind Text and TextPair
//   bits 16-19  secondTextId   the TextPair type
//   bits 12-19  warpId         types of kind Warp
//
// The identifier fields overlap; the event type alone decides which one a word carries.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace levelkit {

struct LoadedLevel;

using EventWord = std::uint32_t;

constexpr std::uint32_t eventType(EventWord word) {
    return word & 0xFF;
}
constexpr std::uint32_t triggerId(EventWord word) {
    return (word >> 12) & 0x1F;
}
constexpr std::uint32_t textId(EventWord word) {
    return (word >> 12) & 0xF;
}
constexpr std::uint32_t secondTextId(EventWord word) {
    return (word >> 16) & 0xF;
}
constexpr std::uint32_t warpId(EventWord word) {
    return (word >> 12) & 0xFF;
}

inline constexpr std::size_t kEventTypeCount = 256;
inline constexpr std::size_t kTriggerIdCount = 32;
inline constexpr std::size_t kTextIdCount = 16;
inline constexpr std::size_t kWarpIdCount = 256;

enum class EventIdKind : std::uint8_t { None, Trigger, Text, TextPair, Warp };

EventIdKind eventIdKind(std::uint8_t type);

// The display name of an event type, valid for the whole run; at most 32 characters.
std::string_view eventTypeName(std::uint8_t type);

inline constexpr std::size_t kEventNameWidth = 32;

// A read-only view of a loaded event map; it owns nothing and must not outlive its level.
struct EventMapView {
    std::span<const std::uint8_t> bytes;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The event map of a level loaded with its information and its events. No view when either is
// missing, or when the decoded map holds fewer bytes than its width and height need: then the
// reason has been printed.
std::optional<EventMapView> eventMapOf(const LoadedLevel& level);

// The byte length that a width and a height need. The cell count always fits 64 bits, its bytes
// may not: such a map needs more than any buffer holds, so the size saturates.
constexpr std::uint64_t eventMapSize(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t cells = std::uint64_t{width} * height;
    constexpr std::uint64_t kMaxCells =
        std::numeric_limits<std::uint64_t>::max() / sizeof(EventWord);
    return cells > kMaxCells ? std::numeric_limits<std::uint64_t>::max()
                             : cells * sizeof(EventWord);
}

// The word of cell (x, y); the view must hold it.
EventWord eventAt(const EventMapView& map, std::uint32_t x, std::uint32_t y);

}  // namespace levelkit

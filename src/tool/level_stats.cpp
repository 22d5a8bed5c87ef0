#include "tool/level_stats.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <optional>

#include "archive/file_io.hpp"
#include "archive/loaded_level.hpp"

namespace levelkit {
namespace {

__attribute__((format(printf, 2, 3))) void appendFormatted(std::string& out, const char* format,
                                                           ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(out.data() + start, static_cast<std::size_t>(length) + 1, format, args);
        out.resize(start + static_cast<std::size_t>(length));
    }
    va_end(args);
}

// Sets the identifier flags of one non-empty cell; its type is counted elsewhere.
void markIds(EventUsage& usage, EventWord word) {
    switch (eventIdKind(static_cast<std::uint8_t>(eventType(word)))) {
        case EventIdKind::Trigger:
            usage.triggerUsed[triggerId(word)] = true;
            break;
        case EventIdKind::Text:
            usage.textUsed[textId(word)] = true;
            break;
        case EventIdKind::TextPair:
            usage.textUsed[textId(word)] = true;
            usage.textUsed[secondTextId(word)] = true;
            break;
        case EventIdKind::Warp:
            usage.warpUsed[warpId(word)] = true;
            break;
        case EventIdKind::None:
            break;
    }
}

// The type is the low byte of a little-endian word: the first of its four bytes.
std::uint8_t typeOfCell(const std::uint8_t* cells, std::uint64_t cell) {
    return cells[cell * sizeof(EventWord)];
}

// Every identifier field lies in bits 12-19, so a cell's identifiers follow from its type and
// those eight bits alone.
constexpr unsigned kIdShift = 12;
constexpr EventWord kIdBits = 0xFFu << kIdShift;
static_assert(triggerId(~kIdBits) == 0 && textId(~kIdBits) == 0 && secondTextId(~kIdBits) == 0 &&
              warpId(~kIdBits) == 0);

// Counters are spread over lanes, cell i counting in lane i % kLanes, so that a run of one type
// does not wait on a single counter's last increment. A type's lanes sit beside its flag, seven
// lanes and the flag filling 32 bytes: tables of their own could lie a multiple of 4 KiB apart,
// where the processor takes a load from one for a load of the store just made to the other and
// waits for it.
constexpr std::size_t kLanes = 7;
struct alignas(32) TypeTally {
    std::array<std::uint32_t, kLanes> lanes{};
    std::uint32_t carriesIds = 0;  // 1 when the type has identifiers to mark
};

// Cells are taken in chunks. The cells of a chunk whose types carry identifiers are listed as the
// count goes, without a branch (every cell is written to the list, only those go on to the next
// slot), and looked at afterwards.
constexpr std::size_t kChunkCells = 4096;

}  // namespace

EventUsage countEvents(const EventMapView& map) {
    const std::uint64_t cells = std::uint64_t{map.width} * map.height;
    assert(map.bytes.size() / sizeof(EventWord) >= cells && "the map holds every cell");
    std::array<TypeTally, kEventTypeCount> tally{};
    for (std::size_t type = 1; type < kEventTypeCount; ++type) {
        tally[type].carriesIds = eventIdKind(static_cast<std::uint8_t>(type)) != EventIdKind::None;
    }
    // The identifier bits seen with each type; only the types that carry identifiers are marked.
    std::array<std::array<bool, 256>, kEventTypeCount> seen{};
    const std::uint8_t* const bytes = map.bytes.data();
    ByteReader reader{map.bytes};
    const auto markSeen = [&](std::uint64_t cell) {
        const EventWord word = loadLE<EventWord>(reader, cell * sizeof(EventWord));
        seen[eventType(word)][(word & kIdBits) >> kIdShift] = true;
    };

    std::array<std::uint32_t, kChunkCells> withIds;
    std::uint64_t cell = 0;
    while (cells - cell >= kLanes) {
        const std::uint64_t first = cell;
        const std::uint64_t end =
            first + std::min<std::uint64_t>(kChunkCells, cells - first) / kLanes * kLanes;
        std::size_t found = 0;
        for (; cell < end; cell += kLanes) {
            for (std::size_t lane = 0; lane < kLanes; ++lane) {
                const std::uint8_t type = typeOfCell(bytes, cell + lane);
                ++tally[type].lanes[lane];
                withIds[found] = static_cast<std::uint32_t>(cell + lane - first);
                found += tally[type].carriesIds;
            }
        }
        for (std::size_t i = 0; i < found; ++i) {
            markSeen(first + withIds[i]);
        }
    }
    for (; cell < cells; ++cell) {
        const std::uint8_t type = typeOfCell(bytes, cell);
        ++tally[type].lanes[0];
        if (tally[type].carriesIds != 0) {
            markSeen(cell);
        }
    }

    EventUsage usage;
    // Entry 0, the empty cell, stays 0.
    for (std::size_t type = 1; type < kEventTypeCount; ++type) {
        for (const std::uint32_t count : tally[type].lanes) {
            usage.typeCount[type] += count;
        }
        if (tally[type].carriesIds != 0) {
            for (EventWord ids = 0; ids < seen[type].size(); ++ids) {
                if (seen[type][ids]) {
                    markIds(usage, static_cast<EventWord>(type) | (ids << kIdShift));
                }
            }
        }
    }
    return usage;
}

std::string statsFileName(const std::string& levelPath) {
    return levelPath + ".stats.txt";
}

std::string formatStatsReport(const std::string& levelPath, const EventUsage& usage) {
    std::string report;
    appendFormatted(report, "Stats for level:\n%s\n\n", levelPath.c_str());
    report += "IDs used:\n";
    for (std::size_t id = 0; id < usage.triggerUsed.size(); ++id) {
        if (usage.triggerUsed[id]) {
            appendFormatted(report, "TriggerID: %i\n", static_cast<int>(id));
        }
    }
    for (std::size_t id = 0; id < usage.textUsed.size(); ++id) {
        if (usage.textUsed[id]) {
            appendFormatted(report, "TextID: %i\n", static_cast<int>(id));
        }
    }
    for (std::size_t id = 0; id < usage.warpUsed.size(); ++id) {
        if (usage.warpUsed[id]) {
            appendFormatted(report, "WarpID: %i\n", static_cast<int>(id));
        }
    }
    report += "\nEvents used:\n";
    for (std::size_t type = 0; type < usage.typeCount.size(); ++type) {
        if (usage.typeCount[type] != 0) {
            const std::string name(eventTypeName(static_cast<std::uint8_t>(type)));
            appendFormatted(report, "%32s: %ux\n", name.c_str(), usage.typeCount[type]);
        }
    }
    return report;
}

void writeLevelStats(const std::string& levelPath) {
    LoadedLevel level;
    if (!loadLevel(level, levelPath, LoadInfo | LoadEvents)) {
        std::printf("Failed to load '%s'! Quitting...\n", levelPath.c_str());
        return;
    }
    const std::optional<EventMapView> map = eventMapOf(level);
    if (!map) {
        releaseLevel(level);
        std::printf("Failed to load '%s'! Quitting...\n", levelPath.c_str());
        return;
    }
    const EventUsage usage = countEvents(*map);
    releaseLevel(level);

    const std::string reportName = statsFileName(levelPath);
    if (replaceTextFile(reportName, formatStatsReport(levelPath, usage))) {
        std::printf("Statsfile created at:\n%s", reportName.c_str());
    }
}

}  // namespace levelkit

#include "tool/level_stats.hpp"

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

void countWord(EventUsage& usage, EventWord word) {
    const std::uint8_t type = static_cast<std::uint8_t>(eventType(word));
    if (type == 0) {
        return;
    }
    ++usage.typeCount[type];
    switch (eventIdKind(type)) {
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

}  // namespace

EventUsage countEvents(const EventMapView& map) {
    EventUsage usage;
    // A map with no columns has no cells, however many rows its header claims: walking four billion
    // empty rows would cost seconds on a level of a few hundred bytes. Any other width is bounded by
    // the decoded bytes the view holds.
    if (map.width == 0) {
        return usage;
    }
    for (std::uint32_t y = 0; y < map.height; ++y) {
        for (std::uint32_t x = 0; x < map.width; ++x) {
            countWord(usage, eventAt(map, x, y));
        }
    }
    return usage;
}

std::string statsFileName(const std::string& levelPath) { return levelPath + ".stats.txt"; }

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

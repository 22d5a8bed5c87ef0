// The statistics report: which event types a level's event map uses, how often, and which trigger,
// text and warp identifiers its events carry, written to "<level>.stats.txt".
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "content/event_map.hpp"

namespace levelkit {

struct EventUsage {
    std::array<std::uint32_t, kEventTypeCount> typeCount{};  // entry 0, the empty cell, stays 0
    std::array<bool, kTriggerIdCount> triggerUsed{};
    std::array<bool, kTextIdCount> textUsed{};
    std::array<bool, kWarpIdCount> warpUsed{};
};

// One pass over the map's width x height cells; empty cells are skipped.
EventUsage countEvents(const EventMapView& map);

std::string statsFileName(const std::string& levelPath);

// The report text, with "\n" line ends.
std::string formatStatsReport(const std::string& levelPath, const EventUsage& usage);

// Writes the report of the level at `levelPath` beside it and prints its name.
void writeLevelStats(const std::string& levelPath);

}  // namespace levelkit

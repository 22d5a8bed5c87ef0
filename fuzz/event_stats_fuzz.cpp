// Event-map bytes through the statistics count and the report writer. The input is the map's width
// and height as two little-endian 32-bit words, then the decoded map; the level that would hold
// them is made in memory. A map too short for its width and height must be refused, never read
// past; a counted map must count each non-empty cell once.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "archive/loaded_level.hpp"
#include "content/event_map.hpp"
#include "fuzz_support.hpp"
#include "tool/level_stats.hpp"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzzsupport::kMaxInputSize || size < 8) {
        return 0;
    }
    fuzzsupport::scratch();  // quiet standard output
    const std::span<const std::uint8_t> input(data, size);
    levelkit::ByteReader reader{input};
    levelkit::LoadedLevel level;
    level.info = std::make_unique<levelkit::LevelInfo>();
    level.info->layerWidth[levelkit::kEventLayer] = levelkit::loadLE<std::uint32_t>(reader, 0);
    level.info->layerHeight[levelkit::kEventLayer] = levelkit::loadLE<std::uint32_t>(reader, 4);
    const std::span<const std::uint8_t> map = input.subspan(8);
    level.events = levelkit::Bytes(map.begin(), map.end());

    const std::optional<levelkit::EventMapView> view = levelkit::eventMapOf(level);
    const std::uint64_t needed =
        levelkit::eventMapSize(level.info->layerWidth[levelkit::kEventLayer],
                               level.info->layerHeight[levelkit::kEventLayer]);
    check(view.has_value() == (needed <= map.size()), "a map is refused exactly when too short");
    if (!view) {
        return 0;
    }
    const levelkit::EventUsage usage = levelkit::countEvents(*view);
    std::uint64_t counted = 0;
    for (const std::uint32_t count : usage.typeCount) {
        counted += count;
    }
    std::uint64_t occupied = 0;
    for (std::uint64_t cell = 0; cell < needed / 4; ++cell) {
        occupied += map[cell * 4] != 0 ? 1 : 0;
    }
    check(usage.typeCount[0] == 0 && counted == occupied, "each non-empty cell counts once");
    const std::string report = levelkit::formatStatsReport("level", usage);
    check(report.rfind("Stats for level:\nlevel\n\nIDs used:\n", 0) == 0,
          "the report starts with its header");
    return 0;
}

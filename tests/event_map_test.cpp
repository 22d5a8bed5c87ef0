#include "content/event_map.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

#include "archive/loaded_level.hpp"
#include "level_builder.hpp"
#include "test_support.hpp"

namespace {

using levelkit::EventIdKind;
using levelkit::EventWord;

// Every accessor is read on every word, since none of them looks at the type: the kind alone says
// which of the overlapping fields a reader may use.
struct WordCase {
    const char* what;
    EventWord word;
    EventIdKind kind;
    std::uint32_t type, trigger, text, secondText, warp;
};

TEST(EventWord, FieldsAndKinds) {
    const WordCase cases[] = {
        {"trigger takes bit 16", 95 | 0x1F000, EventIdKind::Trigger, 95, 31, 15, 1, 0x1F},
        {"text stops at bit 15", 207 | 0x1F000, EventIdKind::Text, 207, 31, 15, 1, 0x1F},
        {"text pair", 201 | (2u << 12) | (1u << 16), EventIdKind::TextPair, 201, 0x12, 2, 1, 0x12},
        {"200 is a single text", 200 | (2u << 12) | (1u << 16), EventIdKind::Text, 200, 0x12, 2, 1,
         0x12},
        {"warp takes bits 12-19", 240 | 0xFF000, EventIdKind::Warp, 240, 31, 15, 15, 255},
        {"trigger rock carries nothing", 21 | 0xFFFFFF00, EventIdKind::None, 21, 31, 15, 15, 255},
        {"area id carries nothing", 242 | 0x5A000, EventIdKind::None, 242, 0x1A, 10, 5, 0x5A},
        {"empty cell with high bits", 0xFFFFFF00, EventIdKind::None, 0, 31, 15, 15, 255},
        {"bits 8-11 and 20-31 are no field", 95 | 0xFFF00F00, EventIdKind::Trigger, 95, 0, 0, 0, 0},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint32_t type = levelkit::eventType(c.word);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(levelkit::eventIdKind(static_cast<std::uint8_t>(type)), c.kind);
        EXPECT_EQ(levelkit::triggerId(c.word), c.trigger);
        EXPECT_EQ(levelkit::textId(c.word), c.text);
        EXPECT_EQ(levelkit::secondTextId(c.word), c.secondText);
        EXPECT_EQ(levelkit::warpId(c.word), c.warp);
    }
}

TEST(EventWord, OnlyTheListedTypesCarryIdentifiers) {
    const std::set<int> trigger{95, 234, 246};
    const std::set<int> text{101, 114, 151, 195, 198, 199, 200, 207};
    const std::set<int> warp{230, 240};
    for (int type = 0; type < 256; ++type) {
        EventIdKind expected = EventIdKind::None;
        if (trigger.contains(type)) {
            expected = EventIdKind::Trigger;
        } else if (text.contains(type)) {
            expected = EventIdKind::Text;
        } else if (warp.contains(type)) {
            expected = EventIdKind::Warp;
        } else if (type == 201) {
            expected = EventIdKind::TextPair;
        }
        EXPECT_EQ(levelkit::eventIdKind(static_cast<std::uint8_t>(type)), expected) << type;
    }
}

TEST(EventCatalogue, Names) {
    const std::pair<int, std::string_view> named[] = {
        {0, "NULL"},
        {58, "TNT (armed explosive, no pickup)"},
        {95, "Scenery Trigger Crate"},
        {105, "Bee"},
        {201, "Villain (robot boss)"},
        {230, "Warp"},
        {255, "MCE Event"},
    };
    for (const auto& [type, name] : named) {
        EXPECT_EQ(levelkit::eventTypeName(static_cast<std::uint8_t>(type)), name) << type;
    }

    // Every name fits the report's 32-character column, and only type 58 fills it.
    std::set<int> empty;
    for (int type = 0; type < 256; ++type) {
        const std::string_view name = levelkit::eventTypeName(static_cast<std::uint8_t>(type));
        EXPECT_GE(name.size(), 3u) << type;
        EXPECT_EQ(name.size() == 32, type == 58) << type;
        EXPECT_LE(name.size(), 32u) << type;
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char ch) {
            return std::isprint(static_cast<unsigned char>(ch)) != 0;
        })) << type;
        if (name == "EMPTY") {
            empty.insert(type);
        }
    }
    EXPECT_EQ(empty, (std::set<int>{32, 82, 239, 243, 247, 254}));
}

// A level in memory holding what a load with LoadInfo and LoadEvents would give.
levelkit::LoadedLevel levelWith(std::uint32_t width, std::uint32_t height, std::size_t eventBytes) {
    levelkit::LoadedLevel level;
    level.info = std::make_unique<levelkit::LevelInfo>();
    level.info->layerWidth[levelkit::kEventLayer] = width;
    level.info->layerHeight[levelkit::kEventLayer] = height;
    level.events = levelkit::Bytes(eventBytes, 0);
    return level;
}

TEST(EventMapOf, RefusesAMapShorterThanItsCells) {
    struct Case {
        std::uint32_t width, height;
        std::size_t bytes;
        bool accepted;
    };
    const Case cases[] = {
        {2, 2, 16, true},
        {2, 2, 15, false},
        {2, 2, 17, true},  // bytes past the last cell are never visited
        {0, 5, 0, true},
        {5, 0, 0, true},
        {65536, 65536, 0, false},   // 2^32 cells: zero in 32-bit arithmetic
        {0x40000000, 1, 0, false},  // 2^32 bytes: zero in 32-bit arithmetic
        {0xFFFFFFFF, 0xFFFFFFFF, 64, false},
        {0x80000000, 0x80000000, 64, false},  // 2^64 bytes: zero in 64-bit arithmetic
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.bytes);
        const levelkit::LoadedLevel level = levelWith(c.width, c.height, c.bytes);
        const std::optional<levelkit::EventMapView> map = levelkit::eventMapOf(level);
        ASSERT_EQ(map.has_value(), c.accepted);
        if (map) {
            EXPECT_EQ(map->width, c.width);
            EXPECT_EQ(map->height, c.height);
            EXPECT_EQ(map->bytes.data(), level.events->data());
        }
    }

    levelkit::LoadedLevel noInfo = levelWith(1, 1, 4);
    noInfo.info.reset();
    EXPECT_FALSE(levelkit::eventMapOf(noInfo));
    levelkit::LoadedLevel noEvents = levelWith(1, 1, 4);
    noEvents.events.reset();
    EXPECT_FALSE(levelkit::eventMapOf(noEvents));
}

// The geometry sits at the same stream-0 offsets in both layouts, and cells run row after row.
TEST(EventMapOf, SameMapFromBothLayouts) {
    testsupport::ScratchDir dir;
    const std::uint32_t width = 5;
    const std::uint32_t height = 3;
    const levelgen::Bytes events = levelgen::makeEventMap(
        width, height, {{0, 95 | (3u << 12)}, {4, 45}, {5, 230}, {13, 0xABCDEF01}, {14, 21}});
    for (const std::uint16_t version : {levelgen::kSmallVersion, levelgen::kLargeVersion}) {
        SCOPED_TRACE(version);
        levelgen::LevelParts parts = levelgen::sampleLevel(version);
        levelgen::InfoParts info;
        info.version = version;
        info.eventWidth = width;
        info.eventHeight = height;
        info.opaqueSeed = 5;
        parts.streams[0].decoded = levelgen::makeLevelInfo(info);
        parts.streams[1].decoded = events;
        const std::string path = dir.file("level" + std::to_string(version));
        levelgen::writeFile(path, levelgen::buildLevel(parts));

        levelkit::LoadedLevel level;
        ASSERT_TRUE(levelkit::loadLevel(level, path, levelkit::LoadInfo | levelkit::LoadEvents));
        const std::optional<levelkit::EventMapView> map = levelkit::eventMapOf(level);
        ASSERT_TRUE(map);
        EXPECT_EQ(map->width, width);
        EXPECT_EQ(map->height, height);
        EXPECT_EQ(levelkit::eventAt(*map, 0, 0), 95 | (3u << 12));
        EXPECT_EQ(levelkit::eventAt(*map, 4, 0), 45u);
        EXPECT_EQ(levelkit::eventAt(*map, 0, 1), 230u);
        EXPECT_EQ(levelkit::eventAt(*map, 3, 2), 0xABCDEF01u);
        EXPECT_EQ(levelkit::eventAt(*map, 4, 2), 21u);
        EXPECT_EQ(levelkit::eventAt(*map, 1, 1), 0u);
        levelkit::releaseLevel(level);
    }
}

}  // namespace

#include "content/event_map.hpp"

#include <array>
#include <cassert>
#include <cstdio>

#include "archive/bytes.hpp"
#include "archive/loaded_level.hpp"

namespace levelkit {
namespace {

// clang-format off
constexpr std::array<std::string_view, kEventTypeCount> kEventNames{
    /*   0 */ "NULL", "One Way", "Hurt", "Vine",
    /*   4 */ "Hook", "Slide", "H-Pole", "V-Pole",
    /*   8 */ "Area Fly Off", "Ricochet", "Belt Right", "Belt Left",
    /*  12 */ "Acc Belt R", "Acc Belt L", "Stop Enemy", "Wind Left",
    /*  16 */ "Wind Right", "Area End Of Level", "Area Warp EOL", "Area Revert Morph",
    /*  20 */ "Area Float Up", "Trigger Rock", "Dim Light", "Set Light",
    /*  24 */ "Limit X Scroll", "Reset Light", "Area Warp Secret", "Echo",
    /*  28 */ "Activate Boss", "Hero Level Start", "Sidekick Level Start", "Multiplayer Level Start",
    /*  32 */ "EMPTY", "Freezer Ammo+3", "Bouncer Ammo+3", "Seeker Ammo+3",
    /*  36 */ "3Way Ammo+3", "Toaster Ammo+3", "TNT Ammo+3", "Gun8 Ammo+3",
    /*  40 */ "Gun9 Ammo+3", "Still Turtleshell", "Swinging Vine", "Bomb",
    /*  44 */ "Silver Coin", "Gold Coin", "Gun crate", "Carrot crate",
    /*  48 */ "1Up crate", "Gem barrel", "Carrot barrel", "1up barrel",
    /*  52 */ "Bomb Crate", "Freezer Ammo+15", "Bouncer Ammo+15", "Seeker Ammo+15",
    /*  56 */ "3Way Ammo+15", "Toaster Ammo+15", "TNT (armed explosive, no pickup)", "Airboard",
    /*  60 */ "Frozen Green Spring", "Gun Fast Fire", "Spring Crate", "Red Gem +1",
    /*  64 */ "Green Gem +1", "Blue Gem +1", "Purple Gem +1", "Super Red Gem",
    /*  68 */ "Birdy", "Gun Barrel", "Gem Crate", "Hero<->Sidekick",
    /*  72 */ "Carrot Energy +1", "Full Energy", "Fire Shield", "Water Shield",
    /*  76 */ "Lightning Shield", "Max weapon", "Auto fire", "Fast Feet",
    /*  80 */ "Extra Live", "End of Level signpost", "EMPTY", "Save point signpost",
    /*  84 */ "Bonus Level signpost", "Red Spring", "Green Spring", "Blue Spring",
    /*  88 */ "Invincibility", "Extra Time", "Freeze Enemies", "Hor Red Spring",
    /*  92 */ "Hor Green Spring", "Hor Blue Spring", "Morph Into Bird", "Scenery Trigger Crate",
    /*  96 */ "Fly carrot", "RectGem Red", "RectGem Green", "RectGem Blue",
    /* 100 */ "Tough Turtle", "Tough Boss", "Lab Rat", "Dragon",
    /* 104 */ "Lizard", "Bee", "Rapier", "Sparks",
    /* 108 */ "Bat", "Sucker", "Caterpillar", "Cheshire1",
    /* 112 */ "Cheshire2", "Hatter", "Wizard Boss", "Skeleton",
    /* 116 */ "Guard Dog", "Norm Turtle", "Helmet Turtle", "Leaf",
    /* 120 */ "Demon", "Fire", "Lava", "Dragon Fly",
    /* 124 */ "Monkey", "Fat Chick", "Fencer", "Fish",
    /* 128 */ "Moth", "Steam", "Rotating Rock", "Blaster PowerUp",
    /* 132 */ "Bouncy PowerUp", "Ice gun PowerUp", "Seek PowerUp", "RF PowerUp",
    /* 136 */ "Toaster PowerUP", "PIN: Left Paddle", "PIN: Right Paddle", "PIN: 500 Bump",
    /* 140 */ "PIN: Carrot Bump", "Apple", "Banana", "Cherry",
    /* 144 */ "Orange", "Pear", "Pretzel", "Strawberry",
    /* 148 */ "Steady Light", "Pulze Light", "Flicker Light", "Queen Boss",
    /* 152 */ "Floating Sucker", "Bridge", "Lemon", "Lime",
    /* 156 */ "Thing", "Watermelon", "Peach", "Grapes",
    /* 160 */ "Lettuce", "Eggplant", "Cucumb", "Soft Drink",
    /* 164 */ "Soda Pop", "Milk", "Pie", "Cake",
    /* 168 */ "Donut", "Cupcake", "Chips", "Candy",
    /* 172 */ "Chocbar", "Icecream", "Burger", "Pizza",
    /* 176 */ "Fries", "Chicken Leg", "Sandwich", "Taco",
    /* 180 */ "Weenie", "Ham", "Cheese", "Float Lizard",
    /* 184 */ "Stand Monkey", "Destruct Scenery", "Destruct Scenery BOMB", "Collapsing Scenery",
    /* 188 */ "ButtStomp Scenery", "Invisible GemStomp", "Raven", "Tube Turtle",
    /* 192 */ "Gem Ring", "Small Tree", "Ambient Sound", "Uterus",
    /* 196 */ "Crab", "Witch", "Rocket Turtle", "Brute Boss",
    /* 200 */ "Devil villain boss", "Villain (robot boss)", "Robot (robot boss)", "Carrot pole",
    /* 204 */ "Psych pole", "Diamond pole", "Sucker Tube", "Text",
    /* 208 */ "Water Level", "Fruit Platform", "Boll Platform", "Grass Platform",
    /* 212 */ "Pink Platform", "Sonic Platform", "Spike Platform", "Spike Boll",
    /* 216 */ "Generator", "Princess", "Bubbler", "TNT Powerup",
    /* 220 */ "Gun8 Powerup", "Gun9 Powerup", "Morph Frog", "3D Spike Boll",
    /* 224 */ "Springcord", "Bees", "Copter", "Laser Shield",
    /* 228 */ "Stopwatch", "Jungle Pole", "Warp", "Big Rock",
    /* 232 */ "Big Box", "Water Block", "Trigger Scenery", "Orb Boss",
    /* 236 */ "Butterfly", "BeeBoy", "Snow", "EMPTY",
    /* 240 */ "Warp Target", "Twin Boss", "Area Id", "EMPTY",
    /* 244 */ "CTF Base + Flag", "No Fire Zone", "Trigger Zone", "EMPTY",
    /* 248 */ "Xmas Turtle", "Xmas Lizard", "Xmas Float Lizard", "Xmas Wizard Boss",
    /* 252 */ "Cat", "Blue Ghost", "EMPTY", "MCE Event",
};
// clang-format on

constexpr bool namesFitTheReportColumn() {
    for (const std::string_view name : kEventNames) {
        if (name.size() > kEventNameWidth) {
            return false;
        }
    }
    return true;
}
static_assert(namesFitTheReportColumn());

}  // namespace

EventIdKind eventIdKind(std::uint8_t type) {
    switch (type) {
        case 95:
        case 234:
        case 246:
            return EventIdKind::Trigger;
        case 101:
        case 114:
        case 151:
        case 195:
        case 198:
        case 199:
        case 200:
        case 207:
            return EventIdKind::Text;
        case 201:
            return EventIdKind::TextPair;
        case 230:
        case 240:
            return EventIdKind::Warp;
        default:
            return EventIdKind::None;
    }
}

std::string_view eventTypeName(std::uint8_t type) { return kEventNames[type]; }

std::optional<EventMapView> eventMapOf(const LoadedLevel& level) {
    if (!level.info || !level.events) {
        std::printf("The event map cannot be read without the level information!\n");
        return std::nullopt;
    }
    EventMapView map{*level.events, level.info->layerWidth[kEventLayer],
                     level.info->layerHeight[kEventLayer]};
    const std::uint64_t needed = eventMapSize(map.width, map.height);
    if (map.bytes.size() < needed) {
        std::printf("The event map holds %zu bytes, fewer than the %llu its %u x %u cells need!\n",
                    map.bytes.size(), static_cast<unsigned long long>(needed), map.width,
                    map.height);
        return std::nullopt;
    }
    return map;
}

EventWord eventAt(const EventMapView& map, std::uint32_t x, std::uint32_t y) {
    ByteReader reader{map.bytes};
    const std::uint64_t cell = std::uint64_t{y} * map.width + x;
    const EventWord word = loadLE<std::uint32_t>(reader, cell * sizeof(EventWord));
    assert(reader.ok && "the cell lies inside the map");
    return word;
}

}  // namespace levelkit

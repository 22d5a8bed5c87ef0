// A level archive together with the decoded forms of the streams a mode works on. Only the streams
// named by the load flags are decoded; every other stream keeps its compressed bytes and goes back
// to the file exactly as read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/bytes.hpp"
#include "archive/level_archive.hpp"
#include "content/level_info.hpp"

namespace levelkit {

enum LoadFlags : unsigned {
    LoadInfo = 1,        // stream 0 into `info`
    LoadEvents = 2,      // stream 1 into `events`
    LoadDictionary = 4,  // stream 2 into `dictionary`
};

// Stream 2: entries of four little-endian TileRef values, 8 bytes each. A decoded length that is not
// a multiple of 8 leaves a tail that nothing reads and a save drops.
inline constexpr std::size_t kDictionaryEntrySize = 8;
inline constexpr std::size_t kTileRefsPerEntry = 4;

struct TileDictionary {
    std::optional<Bytes> entries;
    std::uint32_t entryCount = 0;  // meaningful only while `entries` is held
};

struct LoadedLevel {
    LevelArchive archive;
    std::unique_ptr<LevelInfo> info;
    std::optional<Bytes> events;
    TileDictionary dictionary;
};

// Reads the file and decodes the streams that `flags` name, in stream order, stopping at the first
// failure. A failed load has released everything and printed why.
bool loadLevel(LoadedLevel& level, const std::string& path, unsigned flags);

// Re-encodes every decoded stream, recomputes the checksum and the declared size and replaces the
// file at `path` (never partly: see `replaceFile`). A failed save has released everything, printed
// why and left the file as it was.
bool saveLevel(LoadedLevel& level, const std::string& path);

// Frees everything the level owns; calling it again frees nothing.
void releaseLevel(LoadedLevel& level);

bool decodeDictionary(LevelArchive& archive, TileDictionary& dictionary);

}  // namespace levelkit

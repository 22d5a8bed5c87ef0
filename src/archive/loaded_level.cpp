#include "archive/loaded_level.hpp"

#include <cstdio>
#include <span>

#include "content/event_map.hpp"

namespace levelkit {
namespace {

// The event map is compressed back under its width x height x 4 bytes, which only the level
// information knows and the decoded map must hold.
bool storeEvents(LoadedLevel& level) {
    if (!level.info) {
        std::printf("The event map cannot be saved without the level information!\n");
        return false;
    }
    const std::uint64_t size = eventMapSize(level.info->layerWidth[kEventLayer],
                                            level.info->layerHeight[kEventLayer]);
    if (size > level.events->size()) {
        std::printf("The event map holds %zu bytes, fewer than the %llu it must be saved with!\n",
                    level.events->size(), static_cast<unsigned long long>(size));
        return false;
    }
    return compressStream(level.archive, 1, std::span(*level.events).first(size));
}

}  // namespace

bool loadLevel(LoadedLevel& level, const std::string& path, unsigned flags) {
    if (!readLevelFile(level.archive, path)) {
        return false;
    }
    level.info.reset();
    level.events.reset();
    level.dictionary.entries.reset();

    if (flags & LoadInfo) {
        level.info = std::make_unique<LevelInfo>();
        if (!parseLevelInfo(level.archive, *level.info)) {
            level.info.reset();
            releaseLevel(level);
            return false;
        }
    }
    if (flags & LoadEvents) {
        level.events = decompressStream(level.archive, 1);
        if (!level.events) {
            std::printf("An error occurred while uncompressing stream 1!\n");
            releaseLevel(level);
            return false;
        }
    }
    if (flags & LoadDictionary) {
        if (!decodeDictionary(level.archive, level.dictionary)) {
            level.dictionary = {};
            releaseLevel(level);
            return false;
        }
    }
    return true;
}

bool decodeDictionary(LevelArchive& archive, TileDictionary& dictionary) {
    std::optional<Bytes> decoded = decompressStream(archive, 2);
    if (!decoded) {
        std::printf("An error occurred while uncompressing!\n");
        return false;
    }
    dictionary.entries = std::move(decoded);
    dictionary.entryCount = archive.streams[2].uncompressedSize / kDictionaryEntrySize;
    return true;
}

bool saveLevel(LoadedLevel& level, const std::string& path) {
    if (level.info && !storeLevelInfo(*level.info, level.archive)) {
        releaseLevel(level);
        return false;
    }
    if (level.events && !storeEvents(level)) {
        std::printf("An error occurred while compressing stream 1!\n");
        releaseLevel(level);
        return false;
    }
    if (level.dictionary.entries) {
        const std::size_t size = std::size_t{level.dictionary.entryCount} * kDictionaryEntrySize;
        if (!compressStream(level.archive, 2, std::span(*level.dictionary.entries).first(size))) {
            std::printf("An error occurred while compressing!\n");
            releaseLevel(level);
            return false;
        }
    }
    updateChecksum(level.archive);
    updateDeclaredSize(level.archive);
    if (!writeLevelFile(level.archive, path)) {
        releaseLevel(level);
        return false;
    }
    return true;
}

void releaseLevel(LoadedLevel& level) {
    level.dictionary.entries.reset();
    level.events.reset();
    if (level.info) {
        releaseLevelInfo(*level.info);
        level.info.reset();
    }
    releaseStreams(level.archive);
}

}  // namespace levelkit

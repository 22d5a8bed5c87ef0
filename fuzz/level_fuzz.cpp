// Level bytes through the archive reader and the loaded level: read, load with every combination
// of load flags, and save whatever loaded. A saved level must hold exactly the archive in memory,
// and must load again with the same flags.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/level_archive.hpp"
#include "archive/loaded_level.hpp"
#include "fuzz_support.hpp"

namespace {

using fuzzsupport::check;

// The file that `writeLevelFile` must have produced from `archive`.
std::vector<std::uint8_t> expectedFile(const levelkit::LevelArchive& archive) {
    const std::array<std::uint8_t, levelkit::kHeaderSize> header = levelkit::encodeHeader(archive);
    std::vector<std::uint8_t> file(header.begin(), header.end());
    for (const auto& data : archive.streamData) {
        file.insert(file.end(), data->begin(), data->end());
    }
    return file;
}

void checkArchive(const levelkit::LevelArchive& archive) {
    for (std::size_t i = 0; i < levelkit::kStreamCount; ++i) {
        check(archive.streamData[i].has_value(), "a read archive holds every stream");
        check(archive.streamData[i]->size() == archive.streams[i].compressedSize,
              "a stream buffer holds exactly its compressed size");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzzsupport::kMaxInputSize) {
        return 0;
    }
    const fuzzsupport::Scratch& scratch = fuzzsupport::scratch();
    const std::string level = scratch.file("level");
    const std::string saved = scratch.file("saved");
    fuzzsupport::writeBytes(level, std::span(data, size));

    levelkit::LevelArchive archive;
    const bool read = levelkit::readLevelFile(archive, level);
    if (read) {
        checkArchive(archive);
        levelkit::releaseStreams(archive);
    }
    for (unsigned flags = 0; flags < 8; ++flags) {
        levelkit::LoadedLevel loaded;
        if (!levelkit::loadLevel(loaded, level, flags)) {
            check(!loaded.info && !loaded.events && !loaded.dictionary.entries,
                  "a failed load owns nothing");
            continue;
        }
        check(read, "a level that loads also reads");
        check(
            static_cast<bool>(loaded.info) == ((flags & levelkit::LoadInfo) != 0) &&
                loaded.events.has_value() == ((flags & levelkit::LoadEvents) != 0) &&
                loaded.dictionary.entries.has_value() == ((flags & levelkit::LoadDictionary) != 0),
            "a load decodes exactly the streams its flags name");
        checkArchive(loaded.archive);
        if (levelkit::saveLevel(loaded, saved)) {
            check(fuzzsupport::readBytes(saved) == expectedFile(loaded.archive),
                  "a saved level holds exactly the archive in memory");
            levelkit::LoadedLevel again;
            check(levelkit::loadLevel(again, saved, flags), "a saved level loads again");
            levelkit::releaseLevel(again);
        } else {
            check(!loaded.info && !loaded.events && !loaded.dictionary.entries,
                  "a failed save releases everything");
        }
        levelkit::releaseLevel(loaded);
    }
    return 0;
}

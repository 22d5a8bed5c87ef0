// Level bytes through split and then fuse. Whatever split wrote, fuse must put back: after the
// fuse, every stream with a non-empty raw stream file decodes to exactly that file, every other
// stream keeps its compressed bytes, and the header's checksum and declared size are right.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "archive/level_archive.hpp"
#include "fuzz_support.hpp"
#include "tool/stream_files.hpp"

using fuzzsupport::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzzsupport::kMaxInputSize) {
        return 0;
    }
    const fuzzsupport::Scratch& scratch = fuzzsupport::scratch();
    const std::string level = scratch.file("level");
    for (int i = 0; i < 4; ++i) {
        std::remove(levelkit::rawStreamFileName(level, i).c_str());
    }
    fuzzsupport::writeBytes(level, std::span(data, size));

    levelkit::LevelArchive before;
    const bool read = levelkit::readLevelFile(before, level);
    const bool split = levelkit::splitLevel(level);
    check(read || !split, "a level that splits also reads");

    std::vector<std::optional<std::vector<std::uint8_t>>> raw(4);
    bool allRaw = true;
    for (int i = 0; i < 4; ++i) {
        const std::string name = levelkit::rawStreamFileName(level, i);
        if (std::FILE* file = std::fopen(name.c_str(), "rb")) {
            std::fclose(file);
            raw[i] = fuzzsupport::readBytes(name);
        }
        allRaw = allRaw && raw[i] && !raw[i]->empty();
    }
    check(!split || (raw[0] && raw[1] && raw[2] && raw[3]),
          "a successful split writes every raw stream file");

    const bool fused = levelkit::fuseLevel(level);
    check(read || !fused, "a level that fuses also reads");
    check(!split || !allRaw || fused, "a split level fuses back");
    if (!read) {
        return 0;
    }
    levelkit::LevelArchive after;
    check(levelkit::readLevelFile(after, level), "a fused level reads");
    for (int i = 0; i < 4; ++i) {
        if (raw[i] && !raw[i]->empty()) {
            const std::optional<levelkit::Bytes> decoded = levelkit::decompressStream(after, i);
            check(decoded &&
                      std::equal(decoded->begin(), decoded->end(), raw[i]->begin(), raw[i]->end()),
                  "a fused stream decodes to its raw stream file");
        } else {
            check(after.streamData[i] == before.streamData[i] &&
                      after.streams[i].compressedSize == before.streams[i].compressedSize &&
                      after.streams[i].uncompressedSize == before.streams[i].uncompressedSize,
                  "a stream without a raw stream file keeps its compressed bytes");
        }
    }
    levelkit::LevelArchive recomputed = after;
    levelkit::updateChecksum(recomputed);
    levelkit::updateDeclaredSize(recomputed);
    check(recomputed.checksum == after.checksum && recomputed.declaredSize == after.declaredSize,
          "a fused level has its true checksum and declared size");
    return 0;
}

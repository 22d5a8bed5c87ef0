// level_header LEVEL: prints a level's header fields and its stream table, and whether the stored
// checksum and declared size match the streams.
#include <cstdio>

#include "archive/level_archive.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: level_header LEVEL\n");
        return 2;
    }
    levelkit::LevelArchive archive;
    if (!levelkit::readLevelFile(archive, argv[1])) {
        return 1;
    }
    levelkit::LevelArchive fresh = archive;
    levelkit::updateChecksum(fresh);
    levelkit::updateDeclaredSize(fresh);

    std::printf("version       0x%04x (%s layout)\n", archive.version,
                archive.version == 0x203 ? "large" : "small");
    std::printf("declared size %u%s\n", archive.declaredSize,
                archive.declaredSize == fresh.declaredSize ? "" : " (streams say otherwise)");
    std::printf("checksum      0x%08x%s\n", archive.checksum,
                archive.checksum == fresh.checksum ? "" : " (streams say otherwise)");
    std::printf("stream  compressed  uncompressed\n");
    for (std::size_t i = 0; i < levelkit::kStreamCount; ++i) {
        std::printf("%6zu  %10u  %12u\n", i, archive.streams[i].compressedSize,
                    archive.streams[i].uncompressedSize);
    }
    return 0;
}

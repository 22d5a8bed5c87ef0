#include "tool/dispatch.hpp"

#include <cstdio>
#include <string_view>

#include "tool/level_stats.hpp"
#include "tool/stream_files.hpp"
#include "tool/tile_swap.hpp"

namespace levelkit {
namespace {

// Whole-string comparison with only the ASCII letters folded; the keywords are upper case.
bool isKeyword(std::string_view argument, std::string_view keyword) {
    if (argument.size() != keyword.size()) {
        return false;
    }
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const char c = argument[i];
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != keyword[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int runCommand(int argc, const char* const* argv) {
    if (argc == 3) {
        if (isKeyword(argv[1], "FUSE")) {
            if (fuseLevel(argv[2])) {
                std::puts("Available datastreams successfully compressed!\n");
            }
        } else if (isKeyword(argv[1], "SPLIT")) {
            if (splitLevel(argv[2])) {
                std::puts("Datastreams successfully extracted!\n");
            }
        } else {
            swapTiles(argv[1], argv[2]);
        }
    } else if (argc == 2) {
        writeLevelStats(argv[1]);
    } else {
        std::printf("You're doing it wrong!");
    }
    return 0;
}

}  // namespace levelkit

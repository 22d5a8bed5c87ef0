// make-level: writes generated levels for the demo, the benchmarks and the fuzz corpora.
//
//   make-level sample PATH [small|large]   a small valid level with a little of everything
#include <cstdio>
#include <string>

#include "level_builder.hpp"

namespace {

int usage() {
    std::fprintf(stderr, "usage: make-level sample PATH [small|large]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    const std::string what = argv[1];
    const std::string path = argv[2];
    if (what == "sample") {
        const bool large = argc > 3 && std::string(argv[3]) == "large";
        levelgen::writeFile(path, levelgen::buildLevel(levelgen::sampleLevel(
                                      large ? levelgen::kLargeVersion : levelgen::kSmallVersion)));
        return 0;
    }
    return usage();
}

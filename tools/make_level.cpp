// make-level: writes generated levels for the demo, the benchmarks and the fuzz corpora.
//
//   make-level sample PATH [small|large]   a small valid level with a little of everything
//   make-level bench PATH                  a busy large level, 1024 x 1024 event map
//   make-level stress PATH                 the same with an 8192 x 8192 event map (256 MiB)
//   make-level swaplist PATH               200 pairs of large-layout tile numbers
#include <cstdio>
#include <string>

#include "level_builder.hpp"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: make-level sample PATH [small|large]\n"
                 "       make-level bench|stress|swaplist PATH\n");
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
    if (what == "bench" || what == "stress") {
        levelgen::writeFile(
            path, levelgen::buildLevel(levelgen::benchLevel(what == "bench" ? 1024 : 8192)));
        return 0;
    }
    if (what == "swaplist") {
        const std::string text = levelgen::swapListText(200, 0x5A9);
        levelgen::writeFile(path, levelgen::Bytes(text.begin(), text.end()));
        return 0;
    }
    return usage();
}

// Runs a fuzz target over the files it is given, or over every file in the folders it is given, so
// that the seed corpus and the crashers of the past are replayed by ctest on every build, with
// whatever sanitizers that build has. A path that does not exist is skipped (a target may have no
// crashers yet), but a replay that finds no input at all fails.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void collect(const fs::path& path, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        std::vector<fs::path> found;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) {
                found.push_back(entry.path());
            }
        }
        std::sort(found.begin(), found.end());
        inputs.insert(inputs.end(), found.begin(), found.end());
    } else if (fs::is_regular_file(path, error)) {
        inputs.push_back(path);
    } else {
        std::fprintf(stderr, "replay: skipping %s (no such file or folder)\n", path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        collect(argv[i], inputs);
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs, no finding\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}

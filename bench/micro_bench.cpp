// Micro-benchmarks of the loops that run over whole streams: the event count, the tile swap and
// the level information record. Run with --benchmark_filter=... to pick; bench/run runs them all.
#include <benchmark/benchmark.h>

#include <string>

#include "archive/level_archive.hpp"
#include "archive/stream_codec.hpp"
#include "content/level_info.hpp"
#include "level_builder.hpp"
#include "tool/level_stats.hpp"
#include "tool/swap_list.hpp"
#include "tool/tile_swap.hpp"

namespace {

// 64 MiB of event map: 4096 x 4096 cells.
constexpr std::uint32_t kMapSide = 4096;

enum class MapShape { MostlyEmpty, RandomTypes, OneType };

levelgen::Bytes makeMap(MapShape shape) {
    switch (shape) {
        case MapShape::MostlyEmpty:
            return levelgen::sparseEventMap(kMapSide, kMapSide, 5, 1);
        case MapShape::RandomTypes:
            // Every cell non-empty is not needed: random bytes give every type, 0 included, with
            // random identifiers.
            return levelgen::pseudoRandomBytes(std::size_t{kMapSide} * kMapSide * 4, 2);
        case MapShape::OneType: {
            levelgen::Bytes map(std::size_t{kMapSide} * kMapSide * 4, 0);
            for (std::size_t cell = 0; cell < map.size() / 4; ++cell) {
                map[cell * 4] = 45;  // Gold Coin, which carries no identifier
            }
            return map;
        }
    }
    return {};
}

void countEvents(benchmark::State& state, MapShape shape) {
    const levelgen::Bytes map = makeMap(shape);
    const levelkit::EventMapView view{map, kMapSide, kMapSide};
    for (auto _ : state) {
        benchmark::DoNotOptimize(levelkit::countEvents(view));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(map.size()));
}
BENCHMARK_CAPTURE(countEvents, mostly_empty, MapShape::MostlyEmpty)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countEvents, random_types, MapShape::RandomTypes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(countEvents, one_type, MapShape::OneType)->Unit(benchmark::kMillisecond);

// Every TileRef of a full large-layout dictionary through a 200-pair list.
void applySwap(benchmark::State& state) {
    const std::string text = levelgen::swapListText(200, 0x5A9);
    const levelkit::SwapList list =
        *levelkit::parseSwapList({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    const levelgen::Bytes refs = levelgen::pseudoRandomBytes(4096 * 4 * 2, 3);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < refs.size(); i += 2) {
            const auto ref = static_cast<levelkit::TileRef>(refs[i] | refs[i + 1] << 8);
            sum += levelkit::applySwap(ref, list, levelkit::kLargeLayout.tileMask);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 4096 * 4);
}
BENCHMARK(applySwap)->Unit(benchmark::kMicrosecond);

levelkit::LevelArchive benchArchive() {
    const std::uint16_t version = levelgen::kLargeVersion;
    levelgen::LevelParts parts = levelgen::benchLevel(64);
    levelkit::LevelArchive archive;
    archive.version = version;
    const levelgen::Bytes info = parts.streams[0].decoded;
    archive.streams[0] = {0, static_cast<std::uint32_t>(info.size())};
    const levelgen::Bytes compressed = levelgen::compress(info);
    archive.streamData[0] = levelkit::Bytes(compressed.begin(), compressed.end());
    archive.streams[0].compressedSize = static_cast<std::uint32_t>(compressed.size());
    return archive;
}

// Decode, parse, store and re-encode a large-layout stream 0, as a tile swap does...
void parseAndStoreLevelInfo(benchmark::State& state) {
    levelkit::LevelArchive archive = benchArchive();
    for (auto _ : state) {
        levelkit::LevelInfo info;
        levelkit::parseLevelInfo(archive, info);
        levelkit::storeLevelInfo(info, archive);
    }
}
BENCHMARK(parseAndStoreLevelInfo)->Unit(benchmark::kMicrosecond);

// ...and the codec work alone, on the same stream: the difference is the record's own cost.
void decodeAndEncodeStream0(benchmark::State& state) {
    const levelkit::LevelArchive archive = benchArchive();
    for (auto _ : state) {
        const std::optional<levelkit::Bytes> decoded =
            levelkit::inflateStream(*archive.streamData[0], archive.streams[0].uncompressedSize);
        benchmark::DoNotOptimize(levelkit::deflateStream(*decoded));
    }
}
BENCHMARK(decodeAndEncodeStream0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

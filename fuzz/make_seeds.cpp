// make-seeds DIR: writes the seed corpora of the fuzz targets, one folder per target (level,
// split_fuse, swap_list, event_stats, decoder_differential), each emptied first. The inputs come
// from the project's level builder, so no binary level is checked in, and each stays within the
// targets' 64 KiB input cap.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "level_builder.hpp"

namespace {

using namespace levelgen;
namespace fs = std::filesystem;

using Seeds = std::vector<std::pair<std::string, Bytes>>;

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The sample level with zero opaque bytes in stream 0, which then compresses to a few hundred
// bytes: small seeds keep the fuzzers fast, where the sample's own incompressible stream 0 would
// cost a millisecond of compression per mutation.
LevelParts compactLevel(std::uint16_t version) {
    LevelParts parts = sampleLevel(version);
    InfoParts info;
    info.version = version;
    info.animCount = 2;
    info.eventWidth = 16;
    info.eventHeight = 8;
    AnimPart spin;
    spin.frameCount = 3;
    spin.frames = {1, 2, 3, 1};
    info.animations = {spin};
    parts.streams[0].decoded = makeLevelInfo(info);
    return parts;
}

Seeds levelSeeds() {
    Seeds seeds;
    const auto add = [&seeds](const std::string& name, const LevelParts& parts) {
        seeds.emplace_back(name, buildLevel(parts));
    };
    add("compact_small", compactLevel(kSmallVersion));
    add("compact_large", compactLevel(kLargeVersion));

    LevelParts parts = compactLevel(kSmallVersion);
    parts.version = 0xFFFF;
    add("version_ffff", parts);

    parts = compactLevel(kSmallVersion);
    parts.trailing = pseudoRandomBytes(100, 5);
    parts.checksum = 0xDEADBEEF;
    parts.declaredSize = 1;
    add("trailing_bytes_wrong_checksum", parts);

    parts = compactLevel(kLargeVersion);
    parts.streams[2].recordedUncompressedSize = 1000;
    parts.streams[1].recordedUncompressedSize =
        static_cast<std::uint32_t>(parts.streams[1].decoded.size() - 4);
    add("uncompressed_sizes_lie", parts);

    parts = compactLevel(kSmallVersion);
    for (StreamPart& stream : parts.streams) {
        stream.recordedUncompressedSize = 0xFFFFFFFF;
    }
    add("uncompressed_sizes_ffffffff", parts);
    for (StreamPart& stream : parts.streams) {
        stream.recordedCompressedSize = 0xFFFFFFFF;
    }
    add("all_sizes_ffffffff", parts);

    parts = compactLevel(kSmallVersion);
    parts.streams[3].recordedCompressedSize =
        static_cast<std::uint32_t>(compress(parts.streams[3].decoded).size() + 50);
    add("compressed_size_beyond_file", parts);

    parts = compactLevel(kSmallVersion);
    parts.streams[0].recordedCompressedSize =
        static_cast<std::uint32_t>(compress(parts.streams[0].decoded).size() - 10);
    add("compressed_size_short", parts);

    for (std::size_t stream = 0; stream < 3; ++stream) {
        parts = compactLevel(kSmallVersion);
        Bytes damaged = compress(parts.streams[stream].decoded);
        damaged[damaged.size() / 2] ^= 0x55;
        damaged.back() ^= 0x01;
        parts.streams[stream].compressed = damaged;
        add("damaged_stream" + std::to_string(stream), parts);
    }

    parts = compactLevel(kSmallVersion);
    parts.streams[0].decoded.resize(1000);
    add("short_info", parts);
    parts = compactLevel(kLargeVersion);
    parts.streams[0].decoded.resize(parts.streams[0].decoded.size() + 100, 7);
    add("long_info", parts);

    parts = compactLevel(kSmallVersion);
    parts.streams[2].decoded.resize(13, 1);
    add("dictionary_odd_length", parts);
    parts.streams[2].decoded.resize(5);
    add("dictionary_under_one_entry", parts);
    parts.streams[2].decoded.clear();
    parts.streams[2].compressed = Bytes{};
    add("dictionary_empty_stream", parts);

    parts = compactLevel(kSmallVersion);
    parts.streams[1].decoded.resize(40);
    add("event_map_short", parts);
    parts = compactLevel(kSmallVersion);
    InfoParts info;
    info.eventWidth = 0;
    info.eventHeight = 9;
    parts.streams[0].decoded = makeLevelInfo(info);
    add("event_map_zero_width", parts);

    parts = compactLevel(kSmallVersion);
    info = InfoParts{};
    info.animCount = 0xFFFF;
    AnimPart wide;
    wide.frameCount = 255;
    wide.frames.fill(0x8005);
    info.animations.assign(128, wide);
    parts.streams[0].decoded = makeLevelInfo(info);
    add("anim_counts_beyond_layout", parts);

    parts = compactLevel(kSmallVersion);
    parts.streams[3].decoded = Bytes(1 << 20, 0);
    add("stream3_high_ratio", parts);

    parts = compactLevel(kSmallVersion);
    parts.cutAt = kHeaderSize;
    add("header_only", parts);
    parts.cutAt = kHeaderSize + 300;
    add("cut_in_streams", parts);
    return seeds;
}

Seeds swapListSeeds() {
    Seeds seeds = {
        {"pairs_crlf", text("1 2\r\n3 4\r\n")},
        {"pairs_across_lines", text("1\n2 3\t4")},
        {"duplicates", text("5 6 5 7")},
        {"odd_count", text("1 2 3")},
        {"leading_zeros", text("0010 020")},
        {"beyond_12_and_32_bits", text("4096 99999999999999999999 1029 1027")},
        {"empty", Bytes{}},
        {"separators_only", text(" \t\r\n")},
        {"comma", text("1,2")},
        {"sign", text("-1 +2")},
        {"byte_order_mark", text("\xEF\xBB\xBF"
                                 "1 2")},
        {"nul_byte", Bytes{'1', ' ', 0, '2'}},
        {"trade_places", text("1 2\n2 1\n5 9\n")},
    };
    std::string many;
    for (int tile = 0; tile < 4096; tile += 3) {
        many += std::to_string(tile) + ' ' + std::to_string(4095 - tile) + '\n';
    }
    seeds.emplace_back("many_pairs", text(many));
    return seeds;
}

// An event_stats input: width and height as two little-endian 32-bit words, then the map.
Bytes eventInput(std::uint32_t width, std::uint32_t height, const Bytes& map) {
    Bytes out(8, 0);
    putLE(out, 0, 4, width);
    putLE(out, 4, 4, height);
    out.insert(out.end(), map.begin(), map.end());
    return out;
}

Seeds eventStatsSeeds() {
    const Bytes sampleMap = sampleLevel(kSmallVersion).streams[1].decoded;
    Seeds seeds = {
        {"sample_16x8", eventInput(16, 8, sampleMap)},
        {"zero_width", eventInput(0, 8, sampleMap)},
        {"map_too_short", eventInput(16, 9, sampleMap)},
        {"size_overflows_32_bits", eventInput(0x10000, 0x10000, sampleMap)},
        {"all_ones", eventInput(0xFFFFFFFF, 0xFFFFFFFF, sampleMap)},
        {"empty_cells_with_upper_bits",
         eventInput(2, 1, makeEventMap(2, 1, {{0, 0xFFFFFF00u}, {1, 0x000FF000u}}))},
    };
    std::vector<std::pair<std::size_t, std::uint32_t>> cells;
    for (std::uint32_t type = 0; type < 256; ++type) {
        cells.emplace_back(type, type | ((type * 0x1357u) << 8));
    }
    seeds.emplace_back("every_type", eventInput(16, 16, makeEventMap(16, 16, cells)));
    return seeds;
}

// A recorded size as a little-endian word, a mode byte (1: raw deflate data that the target
// wraps itself), then the stream.
Bytes decoderInput(std::uint32_t recorded, const Bytes& stream, bool raw = false) {
    Bytes input(5, 0);
    putLE(input, 0, 4, recorded);
    input[4] = raw ? 1 : 0;
    if (raw) {
        input.insert(input.end(), stream.begin() + 2, stream.end() - 4);
    } else {
        input.insert(input.end(), stream.begin(), stream.end());
    }
    return input;
}

// Every hand-made corner of the format, recorded exactly, too small and too large, as it is and
// as raw deflate data, and compressed data of a few kinds.
Seeds decoderSeeds() {
    Seeds seeds;
    for (const HandmadeStream& s : handmadeStreams()) {
        const auto size = static_cast<std::uint32_t>(s.lenientOutput.size());
        seeds.emplace_back(s.name, decoderInput(size, s.stream));
        seeds.emplace_back(s.name + "_raw", decoderInput(size, s.stream, true));
        seeds.emplace_back(s.name + "_recorded_smaller",
                           decoderInput(size == 0 ? 0 : size - 1, s.stream));
        seeds.emplace_back(s.name + "_recorded_larger", decoderInput(size + 1000, s.stream));
    }
    const Bytes map = compress(sparseEventMap(32, 32, 5, 4));
    seeds.emplace_back("sparse_map", decoderInput(32 * 32 * 4, map));
    seeds.emplace_back("sparse_map_raw", decoderInput(32 * 32 * 4, map, true));
    seeds.emplace_back("random", decoderInput(2000, compress(pseudoRandomBytes(2000, 8))));
    seeds.emplace_back("empty", decoderInput(0, compress({})));
    seeds.emplace_back("one_byte_recorded_empty", decoderInput(0, compress({'A'})));
    return seeds;
}

void writeSeeds(const fs::path& dir, const Seeds& seeds) {
    fs::create_directories(dir);
    for (const auto& [name, bytes] : seeds) {
        writeFile((dir / name).string(), bytes);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-seeds DIR\n");
        return 2;
    }
    const fs::path root(argv[1]);
    const Seeds levels = levelSeeds();
    for (const char* target :
         {"level", "split_fuse", "swap_list", "event_stats", "decoder_differential"}) {
        fs::remove_all(root / target);
    }
    writeSeeds(root / "level", levels);
    writeSeeds(root / "split_fuse", levels);
    writeSeeds(root / "swap_list", swapListSeeds());
    writeSeeds(root / "event_stats", eventStatsSeeds());
    writeSeeds(root / "decoder_differential", decoderSeeds());
    return 0;
}

// The stream decoder must read every input exactly as zlib's one-shot `uncompress` does: the same
// bytes, and success in the same cases, whatever decoder does the work inside.
#include <gtest/gtest.h>

#include <set>

#include "archive/deflate_blocks.hpp"
#include "archive/stream_codec.hpp"
#include "level_builder.hpp"

namespace {

using levelkit::hasUnambiguousBlocks;
using levelkit::inflateStream;

// What `uncompress` gives with a buffer of `expected` bytes.
std::optional<levelgen::Bytes> reference(const levelgen::Bytes& stream, std::uint32_t expected) {
    return levelgen::decompress(stream, expected);
}

void expectSameAsZlib(const levelgen::Bytes& stream, std::uint32_t expected,
                      const std::string& name) {
    const std::optional<levelkit::Bytes> ours = inflateStream(stream, expected);
    const std::optional<levelgen::Bytes> theirs = reference(stream, expected);
    ASSERT_EQ(ours.has_value(), theirs.has_value()) << name << ", expecting " << expected;
    if (ours) {
        EXPECT_TRUE(std::equal(ours->begin(), ours->end(), theirs->begin(), theirs->end()))
            << name << ", expecting " << expected;
    }
}

std::set<std::uint32_t> expectedSizesAround(std::size_t real) {
    const auto n = static_cast<std::uint32_t>(real);
    return {0, 1, n == 0 ? 0 : n - 1, n, n + 1, n + 100000};
}

TEST(StreamCodec, HandmadeStreamsReadAsZlibReadsThem) {
    for (const levelgen::HandmadeStream& s : levelgen::handmadeStreams()) {
        // The fixture itself: zlib reads exactly the streams it is said to.
        EXPECT_EQ(reference(s.stream, 1000).has_value(), s.zlibReads) << s.name;
        for (const std::uint32_t expected : expectedSizesAround(s.lenientOutput.size())) {
            expectSameAsZlib(s.stream, expected, s.name);
        }
    }
}

TEST(StreamCodec, CompressedDataReadsAsZlibReadsIt) {
    const std::vector<std::pair<std::string, levelgen::Bytes>> inputs{
        {"empty", {}},
        {"one byte", {'A'}},
        {"random", levelgen::pseudoRandomBytes(70000, 3)},
        {"sparse map", levelgen::sparseEventMap(128, 128, 5, 9)},
        {"zeros", levelgen::Bytes(300000, 0)},
    };
    for (const auto& [name, data] : inputs) {
        const levelgen::Bytes stream = levelgen::compress(data);
        EXPECT_TRUE(hasUnambiguousBlocks(stream)) << name;
        for (const std::uint32_t expected : expectedSizesAround(data.size())) {
            expectSameAsZlib(stream, expected, name);
        }
        // Cut anywhere, or followed by other bytes.
        for (std::size_t cut = 0; cut < stream.size(); cut += 1 + stream.size() / 50) {
            expectSameAsZlib(levelgen::Bytes(stream.begin(), stream.begin() + cut),
                             static_cast<std::uint32_t>(data.size()), name + " cut");
        }
        levelgen::Bytes trailing = stream;
        trailing.insert(trailing.end(), {1, 2, 3});
        expectSameAsZlib(trailing, static_cast<std::uint32_t>(data.size()), name + " trailing");
    }
}

TEST(StreamCodec, DamagedHeadersAndChecksumsReadAsZlibReadsThem) {
    const levelgen::Bytes good = levelgen::compress(levelgen::sparseEventMap(64, 64, 5, 2));
    const auto expected = static_cast<std::uint32_t>(64 * 64 * 4);
    const std::vector<std::pair<std::string, std::array<std::uint8_t, 2>>> headers{
        {"preset dictionary", {0x78, 0xBB}}, {"window of 64 KiB", {0x88, 0x1D}},
        {"smallest window", {0x08, 0x1D}},   {"bad check bits", {0x78, 0x9D}},
        {"method 7", {0x77, 0x1F}},
    };
    for (const auto& [name, header] : headers) {
        levelgen::Bytes stream = good;
        stream[0] = header[0];
        stream[1] = header[1];
        expectSameAsZlib(stream, expected, name);
    }
    levelgen::Bytes badChecksum = good;
    badChecksum.back() ^= 1;
    expectSameAsZlib(badChecksum, expected, "checksum");
}

// Only complete codes within the symbol ranges vouch for a stream: every block header zlib refuses
// is flagged, and so are the incomplete codes zlib tolerates while their unused codewords stay
// unused. A distance before the start is the decoders' own business.
TEST(DeflateBlocks, FlagsEveryMalformedOrIncompleteBlock) {
    const std::set<std::string> unambiguous{
        "dynamic_complete_codes", "dynamic_286_literal_symbols", "dynamic_30_distance_symbols",
        "fixed_longest_match",    "fixed_distance_before_start", "stored_block"};
    for (const levelgen::HandmadeStream& s : levelgen::handmadeStreams()) {
        EXPECT_EQ(hasUnambiguousBlocks(s.stream), unambiguous.count(s.name) == 1) << s.name;
    }
}

}  // namespace

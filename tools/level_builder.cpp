#include "level_builder.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace levelgen {

std::uint32_t getLE(const Bytes& bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | bytes.at(offset + i);
    }
    return value;
}

void putLE(Bytes& bytes, std::size_t offset, std::size_t width, std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

Bytes compress(const Bytes& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
        std::abort();
    }
    out.resize(length);
    return out;
}

std::optional<Bytes> decompress(const Bytes& compressed, std::size_t expectedSize) {
    Bytes out(expectedSize);
    uLongf length = static_cast<uLongf>(expectedSize);
    if (uncompress(out.data(), &length, compressed.data(), static_cast<uLong>(compressed.size())) !=
        Z_OK) {
        return std::nullopt;
    }
    out.resize(length);
    return out;
}

std::uint32_t crc32Of(const Bytes& data) {
    // Bitwise CRC-32 (reflected, polynomial 0xEDB88320), independent of the library's zlib call.
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

Bytes buildLevel(const LevelParts& parts) {
    Bytes header(kHeaderSize, 0);
    std::copy(parts.opaque.begin(), parts.opaque.end(), header.begin());
    putLE(header, 220, 2, parts.version);
    Bytes body;
    for (std::size_t i = 0; i < 4; ++i) {
        const StreamPart& stream = parts.streams[i];
        const Bytes data = stream.compressed ? *stream.compressed : compress(stream.decoded);
        putLE(header, 230 + 8 * i, 4,
              stream.recordedCompressedSize.value_or(static_cast<std::uint32_t>(data.size())));
        putLE(header, 234 + 8 * i, 4,
              stream.recordedUncompressedSize.value_or(
                  static_cast<std::uint32_t>(stream.decoded.size())));
        body.insert(body.end(), data.begin(), data.end());
    }
    putLE(header, 222, 4,
          parts.declaredSize.value_or(static_cast<std::uint32_t>(kHeaderSize + body.size())));
    putLE(header, 226, 4, parts.checksum.value_or(crc32Of(body)));
    Bytes file(header.size() + body.size() + parts.trailing.size());
    auto end = std::copy(header.begin(), header.end(), file.begin());
    end = std::copy(body.begin(), body.end(), end);
    std::copy(parts.trailing.begin(), parts.trailing.end(), end);
    if (parts.cutAt && *parts.cutAt < file.size()) {
        file.resize(*parts.cutAt);
    }
    return file;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "level builder: cannot write %s\n", path.c_str());
        std::abort();
    }
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes pseudoRandomBytes(std::size_t count, std::uint32_t seed) {
    Bytes out(count);
    std::uint32_t state = seed ? seed : 1;
    for (std::uint8_t& byte : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

namespace {

std::size_t tileCountOf(std::uint16_t version) {
    return version == kLargeVersion ? 4096 : 1024;
}
std::size_t animationCountOf(std::uint16_t version) {
    return version == kLargeVersion ? 256 : 128;
}

}  // namespace

std::size_t infoSize(std::uint16_t version) {
    return 8813 + 7 * tileCountOf(version) + 137 * animationCountOf(version) + 512;
}

std::size_t animRecordOffset(std::uint16_t version, std::size_t record) {
    return 8813 + 7 * tileCountOf(version) + 137 * record;
}

Bytes makeLevelInfo(const InfoParts& parts) {
    const std::size_t size = infoSize(parts.version);
    Bytes info = parts.opaqueSeed ? pseudoRandomBytes(size, parts.opaqueSeed) : Bytes(size, 0);
    putLE(info, kAnimCountOffset, 2, parts.animCount);
    putLE(info, kEventWidthOffset, 4, parts.eventWidth);
    putLE(info, kEventHeightOffset, 4, parts.eventHeight);
    for (std::size_t a = 0; a < parts.animations.size(); ++a) {
        const std::size_t at = animRecordOffset(parts.version, a);
        info.at(at + 8) = parts.animations[a].frameCount;
        for (std::size_t f = 0; f < 64; ++f) {
            putLE(info, at + 9 + 2 * f, 2, parts.animations[a].frames[f]);
        }
    }
    return info;
}

Bytes makeEventMap(std::uint32_t width, std::uint32_t height,
                   const std::vector<std::pair<std::size_t, std::uint32_t>>& cells) {
    Bytes map(std::size_t{width} * height * 4, 0);
    for (const auto& [index, word] : cells) {
        putLE(map, index * 4, 4, word);
    }
    return map;
}

Bytes makeDictionary(const std::vector<std::array<std::uint16_t, 4>>& entries) {
    Bytes out(entries.size() * 8, 0);
    for (std::size_t e = 0; e < entries.size(); ++e) {
        for (std::size_t i = 0; i < 4; ++i) {
            putLE(out, e * 8 + i * 2, 2, entries[e][i]);
        }
    }
    return out;
}

LevelParts sampleLevel(std::uint16_t version) {
    LevelParts parts;
    parts.version = version;
    const Bytes opaque = pseudoRandomBytes(parts.opaque.size(), 7);
    std::copy(opaque.begin(), opaque.end(), parts.opaque.begin());

    InfoParts info;
    info.version = version;
    info.animCount = 2;
    info.eventWidth = 16;
    info.eventHeight = 8;
    info.opaqueSeed = 11;
    AnimPart spin;
    spin.frameCount = 3;
    spin.frames = {1, 2, 3, 1};  // the fourth frame is beyond frameCount
    AnimPart flag;
    flag.frameCount = 2;
    flag.frames = {static_cast<std::uint16_t>(5 | 0x8000), 6};
    info.animations = {spin, flag};
    parts.streams[0].decoded = makeLevelInfo(info);

    // One trigger crate, one robot boss with two texts, two warps, some scenery.
    parts.streams[1].decoded = makeEventMap(16, 8,
                                            {{3, 95 | (3u << 12)},
                                             {20, 201 | (2u << 12) | (1u << 16)},
                                             {40, 230 | (7u << 12)},
                                             {41, 230 | (5u << 12)},
                                             {60, 21},
                                             {61, 21},
                                             {100, 45}});
    parts.streams[2].decoded = makeDictionary({{0, 1, 2, 3}, {1, 5, 1, 2}, {4, 5, 6, 0x4007}});
    parts.streams[3].decoded = pseudoRandomBytes(300, 3);
    return parts;
}

}  // namespace levelgen

namespace levelgen {
namespace {

struct Rng {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

// Types of every identifier kind, with plain scenery and pickups weighted as levels use them.
constexpr std::array<std::uint8_t, 16> kBenchEventTypes{95, 234, 246, 101, 207, 201, 230, 240,
                                                        21, 44,  45,  63,  64,  85,  117, 185};

}  // namespace

Bytes sparseEventMap(std::uint32_t width, std::uint32_t height, std::uint32_t percent,
                     std::uint32_t seed) {
    Bytes map(std::size_t{width} * height * 4, 0);
    Rng rng{seed ? seed : 1};
    for (std::size_t cell = 0; cell < std::size_t{width} * height; ++cell) {
        if (rng.next() % 100 >= percent) {
            continue;
        }
        const std::uint32_t pick = rng.next();
        const std::uint32_t word =
            kBenchEventTypes[pick % kBenchEventTypes.size()] | (((pick >> 8) & 0xFFFFF) << 12);
        putLE(map, cell * 4, 4, word);
    }
    return map;
}

LevelParts benchLevel(std::uint32_t side) {
    LevelParts parts;
    parts.version = kLargeVersion;
    Rng rng{0x5EED};
    InfoParts info;
    info.version = kLargeVersion;
    info.animCount = 256;
    info.eventWidth = side;
    info.eventHeight = side;
    for (std::size_t a = 0; a < 256; ++a) {
        AnimPart anim;
        anim.frameCount = 64;
        for (std::uint16_t& frame : anim.frames) {
            frame = static_cast<std::uint16_t>(rng.next() & 0x8FFF);
        }
        info.animations.push_back(anim);
    }
    parts.streams[0].decoded = makeLevelInfo(info);
    parts.streams[1].decoded = sparseEventMap(side, side, 5, 0xE7E);
    std::vector<std::array<std::uint16_t, 4>> entries(4096);
    for (auto& entry : entries) {
        for (std::uint16_t& ref : entry) {
            ref = static_cast<std::uint16_t>(rng.next() & 0x3FFF);
        }
    }
    parts.streams[2].decoded = makeDictionary(entries);
    // Stream 3 stands for the tile layers: small tile numbers with long runs of the same one.
    Bytes layers(256 * 256 * 2, 0);
    for (std::size_t i = 0; i < layers.size() / 2; i += 16) {
        const std::uint32_t tile = rng.next() % 64 == 0 ? rng.next() & 0xFFF : 0;
        for (std::size_t j = i; j < i + 16; ++j) {
            putLE(layers, j * 2, 2, tile);
        }
    }
    parts.streams[3].decoded = std::move(layers);
    return parts;
}

std::string swapListText(std::size_t pairs, std::uint32_t seed) {
    Rng rng{seed ? seed : 1};
    std::string text;
    for (std::size_t i = 0; i < pairs; ++i) {
        text += std::to_string(rng.next() % 4096) + '\t' + std::to_string(rng.next() % 4096) + '\n';
    }
    return text;
}

}  // namespace levelgen

namespace levelgen {
namespace {

// Deflate bits go least significant first; Huffman codewords most significant bit first.
struct BitWriter {
    std::vector<std::uint8_t> bits;
    void put(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            bits.push_back(static_cast<std::uint8_t>((value >> i) & 1));
        }
    }
    void codeword(std::pair<std::uint32_t, unsigned> code) {
        for (unsigned i = code.second; i-- > 0;) {
            bits.push_back(static_cast<std::uint8_t>((code.first >> i) & 1));
        }
    }
    Bytes bytes() const {
        Bytes out((bits.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (bits[i] << (i % 8)));
        }
        return out;
    }
};

// Canonical codewords (value, length) of a list of code lengths.
std::vector<std::pair<std::uint32_t, unsigned>> canonicalCodes(
    const std::vector<std::uint8_t>& lengths) {
    std::array<std::uint32_t, 17> counts{};
    for (const std::uint8_t length : lengths) {
        ++counts[length];
    }
    counts[0] = 0;
    std::array<std::uint32_t, 17> next{};
    std::uint32_t code = 0;
    for (unsigned length = 1; length <= 16; ++length) {
        code = (code + counts[length - 1]) << 1;
        next[length] = code;
    }
    std::vector<std::pair<std::uint32_t, unsigned>> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] != 0) {
            codes[s] = {next[lengths[s]]++, lengths[s]};
        }
    }
    return codes;
}

std::uint32_t adler32Of(const Bytes& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

Bytes zlibWrap(const BitWriter& body, const Bytes& output) {
    Bytes stream{0x78, 0x01};
    const Bytes deflate = body.bytes();
    stream.insert(stream.end(), deflate.begin(), deflate.end());
    const std::uint32_t adler = adler32Of(output);
    for (int shift = 24; shift >= 0; shift -= 8) {
        stream.push_back(static_cast<std::uint8_t>(adler >> shift));
    }
    return stream;
}

// A code-length item: a symbol of the code-length code and its extra bits.
struct LengthItem {
    unsigned symbol;
    std::uint32_t extra = 0;
    unsigned extraBits = 0;
};

constexpr std::array<std::uint8_t, 19> kLengthCodeOrder{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                        11, 4,  12, 3, 13, 2, 14, 1, 15};

// A final dynamic block header: the code-length code's lengths, then the items, which must spell
// `literalCount` + `distanceCount` code lengths (or deliberately fail to).
void dynamicHeader(BitWriter& w, unsigned literalCount, unsigned distanceCount,
                   const std::vector<std::uint8_t>& lengthCodeLengths,
                   const std::vector<LengthItem>& items) {
    w.put(1, 1);
    w.put(2, 2);
    w.put(literalCount - 257, 5);
    w.put(distanceCount - 1, 5);
    w.put(19 - 4, 4);
    for (const std::uint8_t symbol : kLengthCodeOrder) {
        w.put(lengthCodeLengths[symbol], 3);
    }
    const auto codes = canonicalCodes(lengthCodeLengths);
    for (const LengthItem& item : items) {
        w.codeword(codes[item.symbol]);
        w.put(item.extra, item.extraBits);
    }
}

// Items that spell `lengths` with plain lengths and zero runs.
std::vector<LengthItem> spell(const std::vector<std::uint8_t>& lengths) {
    std::vector<LengthItem> items;
    for (std::size_t i = 0; i < lengths.size();) {
        std::size_t run = 0;
        while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) {
            ++run;
        }
        if (run >= 11) {
            items.push_back({18, static_cast<std::uint32_t>(run - 11), 7});
        } else if (run >= 3) {
            items.push_back({17, static_cast<std::uint32_t>(run - 3), 3});
        } else {
            items.push_back({lengths[i]});
            run = 1;
        }
        i += run;
    }
    return items;
}

// A complete code-length code with every symbol: lengths 0-9 and the three repeat symbols in 4
// bits, lengths 10-15 in 5.
const std::vector<std::uint8_t> kPlainLengthCode{4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
                                                 5, 5, 5, 5, 5, 5, 4, 4, 4};
// Lengths 0 and 1 and the three repeat symbols: complete too.
const std::vector<std::uint8_t> kRepeatLengthCode{2, 2, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 3, 3, 2};

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Literal/length lengths: 'A' and end-of-block, plus the length symbol 257 when `withMatch`.
std::vector<std::uint8_t> literalLengths(unsigned count, bool withMatch) {
    std::vector<std::uint8_t> lengths(count, 0);
    lengths['A'] = withMatch ? 2 : 1;
    lengths[256] = withMatch ? 2 : 1;
    if (withMatch) {
        lengths[257] = 1;
    }
    return lengths;
}

// A dynamic block of "A", or "A" then a three-byte match at distance 1 sent with the codeword
// `distanceCodeword` of `distanceBits` bits.
HandmadeStream dynamicStream(const std::string& name, unsigned literalCount,
                             const std::vector<std::uint8_t>& distanceLengths, bool withMatch,
                             std::uint32_t distanceCodeword, unsigned distanceBits,
                             bool zlibReads) {
    const std::vector<std::uint8_t> literals = literalLengths(literalCount, withMatch);
    BitWriter w;
    dynamicHeader(w, literalCount, static_cast<unsigned>(distanceLengths.size()), kPlainLengthCode,
                  spell(concat(literals, distanceLengths)));
    const auto codes = canonicalCodes(literals);
    w.codeword(codes['A']);
    if (withMatch) {
        w.codeword(codes[257]);
        w.codeword({distanceCodeword, distanceBits});
    }
    w.codeword(codes[256]);
    const Bytes output(withMatch ? 4 : 1, 'A');
    return {name, zlibWrap(w, output), output, zlibReads};
}

// A fixed-code block of "A", then the given length symbol, its extra bits and distance symbol.
HandmadeStream fixedStream(const std::string& name, unsigned lengthSymbol, std::uint32_t extra,
                           unsigned extraBits, unsigned distanceSymbol, std::size_t matchLength,
                           bool zlibReads) {
    std::vector<std::uint8_t> lengths(288, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    const auto codes = canonicalCodes(lengths);
    BitWriter w;
    w.put(1, 1);
    w.put(1, 2);
    w.codeword(codes['A']);
    w.codeword(codes[lengthSymbol]);
    w.put(extra, extraBits);
    w.codeword({distanceSymbol, 5});
    w.codeword(codes[256]);
    const Bytes output(1 + matchLength, 'A');
    return {name, zlibWrap(w, output), output, zlibReads};
}

HandmadeStream lengthsStream(const std::string& name, const std::vector<LengthItem>& items) {
    BitWriter w;
    dynamicHeader(w, 257, 1, kRepeatLengthCode, items);
    // Whatever the header meant, "A" then end-of-block under 'A' = 0, 256 = 1.
    w.put(0, 1);
    w.put(1, 1);
    return {name, zlibWrap(w, Bytes{'A'}), Bytes{'A'}, false};
}

HandmadeStream storedStream(const std::string& name, std::uint16_t complement, bool zlibReads) {
    BitWriter w;
    w.put(1, 1);
    w.put(0, 2);
    w.put(0, 5);  // up to the byte boundary
    w.put(1, 16);
    w.put(complement, 16);
    w.put('A', 8);
    return {name, zlibWrap(w, Bytes{'A'}), Bytes{'A'}, zlibReads};
}

}  // namespace

std::vector<HandmadeStream> handmadeStreams() {
    const std::vector<std::uint8_t> oneDistance{1};
    const std::vector<std::uint8_t> twoDistances{1, 1};
    // Complete distance codes over 30, 31 and 32 symbols.
    std::vector<std::uint8_t> thirtyDistances(30, 5);
    thirtyDistances[0] = thirtyDistances[1] = 4;
    std::vector<std::uint8_t> thirtyOneDistances(31, 5);
    thirtyOneDistances[0] = 4;
    std::vector<HandmadeStream> streams{
        dynamicStream("dynamic_complete_codes", 258, twoDistances, true, 0, 1, true),
        dynamicStream("dynamic_286_literal_symbols", 286, twoDistances, false, 0, 0, true),
        dynamicStream("dynamic_287_literal_symbols", 287, twoDistances, false, 0, 0, false),
        dynamicStream("dynamic_288_literal_symbols", 288, twoDistances, false, 0, 0, false),
        dynamicStream("dynamic_30_distance_symbols", 257, thirtyDistances, false, 0, 0, true),
        dynamicStream("dynamic_31_distance_symbols", 257, thirtyOneDistances, false, 0, 0, false),
        dynamicStream("dynamic_32_distance_symbols", 257, std::vector<std::uint8_t>(32, 5), false,
                      0, 0, false),
        dynamicStream("single_distance_code_used", 258, oneDistance, true, 0, 1, true),
        dynamicStream("single_distance_code_unused_codeword", 258, oneDistance, true, 1, 1, false),
        dynamicStream("empty_distance_code_literals", 257, {0}, false, 0, 0, true),
        dynamicStream("empty_distance_code_match", 258, {0}, true, 0, 1, false),
        dynamicStream("empty_distance_code_match_no_bits", 258, {0}, true, 0, 0, false),
        fixedStream("fixed_longest_match", 284, 31, 5, 0, 258, true),
        fixedStream("fixed_literal_symbol_286", 286, 0, 0, 0, 3, false),
        fixedStream("fixed_literal_symbol_287", 287, 0, 0, 0, 3, false),
        fixedStream("fixed_distance_symbol_30", 257, 0, 0, 30, 3, false),
        fixedStream("fixed_distance_symbol_31", 257, 0, 0, 31, 3, false),
        fixedStream("fixed_distance_before_start", 257, 0, 0, 1, 3, false),
        storedStream("stored_block", 0xFFFE, true),
        storedStream("stored_block_bad_complement", 0xFEFE, false),
    };

    // End-of-block alone, in one bit: its unused codeword ends the block for a lenient decoder.
    std::vector<std::uint8_t> endOnly(257, 0);
    endOnly[256] = 1;
    BitWriter w;
    dynamicHeader(w, 257, 1, kPlainLengthCode, spell(concat(endOnly, {1})));
    w.put(1, 1);
    streams.push_back({"end_of_block_only_unused_codeword", zlibWrap(w, {}), {}, false});

    // Code lengths for 'A' (65) and 256, one bit each, written with repeats that go wrong.
    const std::vector<LengthItem> zerosTo65{{18, 54, 7}};
    const std::vector<LengthItem> zerosTo256{{18, 127, 7}, {18, 41, 7}};
    std::vector<LengthItem> repeatFirst{{16, 0, 2}};
    repeatFirst.push_back({18, 51, 7});
    repeatFirst.push_back({1});
    repeatFirst.insert(repeatFirst.end(), zerosTo256.begin(), zerosTo256.end());
    repeatFirst.push_back({1});
    repeatFirst.push_back({0});
    streams.push_back(lengthsStream("repeat_before_any_length", repeatFirst));

    std::vector<LengthItem> overflow = zerosTo65;
    overflow.push_back({1});
    overflow.insert(overflow.end(), zerosTo256.begin(), zerosTo256.end());
    overflow.push_back({1});
    overflow.push_back({16, 3, 2});  // six lengths where one is left
    streams.push_back(lengthsStream("repeat_past_the_last_length", overflow));

    // A code-length code of three two-bit codewords: incomplete.
    std::vector<std::uint8_t> threeLengths(19, 0);
    threeLengths[0] = threeLengths[1] = threeLengths[2] = 2;
    BitWriter incomplete;
    dynamicHeader(incomplete, 257, 1, threeLengths, std::vector<LengthItem>(65, LengthItem{0}));
    streams.push_back(
        {"incomplete_code_length_code", zlibWrap(incomplete, Bytes{'A'}), Bytes{'A'}, false});
    return streams;
}

}  // namespace levelgen

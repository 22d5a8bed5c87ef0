#include "archive/deflate_blocks.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <optional>

namespace levelkit {
namespace {

constexpr std::size_t kZlibHeaderSize = 2;
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kFastBits = 10;  // codes up to this long decode with one table look-up
constexpr unsigned kFastMask = (1u << kFastBits) - 1;

constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kLiteralLengthSymbols = 286;  // 286 and 287 are reserved
constexpr unsigned kDistanceSymbols = 30;        // 30 and 31 are reserved
constexpr unsigned kFixedLiteralLengthCodes = 288;
constexpr unsigned kFixedDistanceCodes = 32;
constexpr unsigned kCodeLengthSymbols = 19;

// Extra bits after each length symbol from 257 and each distance symbol.
constexpr std::array<std::uint8_t, 29> kLengthExtraBits{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, kDistanceSymbols> kDistanceExtraBits{
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The order in which a dynamic block header lists the code lengths of the code-length code.
constexpr std::array<std::uint8_t, kCodeLengthSymbols> kCodeLengthOrder{
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Deflate packs bits from the least significant end of each byte. Bytes past the end of the input
// read as zero; `padding` counts them so that consuming one of their bits is caught.
struct BitReader {
    const std::uint8_t* next;
    const std::uint8_t* end;
    std::uint64_t bits = 0;
    unsigned count = 0;
    unsigned padding = 0;
};

// Eight input bytes as a little-endian word.
std::uint64_t load64LE(const std::uint8_t* p) {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, sizeof(word));
    } else {
        for (unsigned i = 0; i < 8; ++i) {
            word |= std::uint64_t{p[i]} << (8 * i);
        }
    }
    return word;
}

// Tops the buffer up to at least 56 bits. Far from the end it loads eight bytes and keeps the
// whole ones that fit; the bits above `count` then already hold the next byte, which the next
// load puts in the same place again.
void refillNearTheEnd(BitReader& r) {
    while (r.count <= 56) {
        if (r.next < r.end) {
            r.bits |= std::uint64_t{*r.next++} << r.count;
        } else {
            ++r.padding;
        }
        r.count += 8;
    }
}

void refill(BitReader& r) {
    if (r.end - r.next >= 8) [[likely]] {
        r.bits |= load64LE(r.next) << r.count;
        r.next += (63 - r.count) / 8;
        r.count |= 56;
    } else {
        refillNearTheEnd(r);
    }
}

// True once a bit that lies past the end of the input has been consumed.
bool overran(const BitReader& r) {
    return r.padding * 8 > r.count;
}

// The caller has made sure that `n` bits are buffered.
unsigned take(BitReader& r, unsigned n) {
    const unsigned value = static_cast<unsigned>(r.bits & ((std::uint64_t{1} << n) - 1));
    r.bits >>= n;
    r.count -= n;
    return value;
}

unsigned takeRefilled(BitReader& r, unsigned n) {
    if (r.count < n) {
        refill(r);
    }
    return take(r, n);
}

// A complete canonical Huffman code. `fast` maps the next kFastBits input bits to
// (symbol << 4) | length for codes of up to kFastBits bits, and to 0 for the prefixes of longer
// codes, which are found from `counts` and `sorted`. `steps` is the same table for the walk over a
// block's data: what the symbol is (a Step kind) and how many bits it takes with its extra bits.
struct Code {
    std::array<std::uint16_t, 1u << kFastBits> fast{};
    std::array<std::uint16_t, kMaxCodeLength + 1> counts{};
    std::array<std::uint16_t, kFixedLiteralLengthCodes> sorted{};
    std::array<std::uint16_t, 1u << kFastBits> steps{};
};

// A step entry is (kind << kStepKindShift) | bits; 0 sends the walk to the slow path.
enum StepKind : unsigned { kLongCode = 0, kLiteral = 1, kLength = 2, kEnd = 3, kReserved = 4 };
constexpr unsigned kStepKindShift = 5;
constexpr unsigned kStepBitsMask = (1u << kStepKindShift) - 1;
// A distance step is kLiteral (a usable distance) or kReserved.
constexpr StepKind kDistance = kLiteral;

unsigned step(StepKind kind, unsigned bits) {
    return (kind << kStepKindShift) | bits;
}

// The step of a literal/length symbol, counting `codeBits` for its codeword.
unsigned literalStep(unsigned symbol, unsigned codeBits) {
    if (symbol < kEndOfBlock) {
        return step(kLiteral, codeBits);
    }
    if (symbol == kEndOfBlock) {
        return step(kEnd, codeBits);
    }
    if (symbol >= kLiteralLengthSymbols) {
        return step(kReserved, codeBits);
    }
    return step(kLength, codeBits + kLengthExtraBits[symbol - kEndOfBlock - 1]);
}

unsigned distanceStep(unsigned symbol, unsigned codeBits) {
    if (symbol >= kDistanceSymbols) {
        return step(kReserved, codeBits);
    }
    return step(kDistance, codeBits + kDistanceExtraBits[symbol]);
}

void prepareSteps(Code& code, unsigned (*stepOf)(unsigned, unsigned)) {
    for (std::size_t i = 0; i < code.fast.size(); ++i) {
        const std::uint16_t entry = code.fast[i];
        code.steps[i] = entry == 0 ? 0 : static_cast<std::uint16_t>(stepOf(entry >> 4, entry & 15));
    }
}

unsigned reversed(unsigned code, unsigned length) {
    unsigned out = 0;
    for (unsigned i = 0; i < length; ++i) {
        out = (out << 1) | ((code >> i) & 1);
    }
    return out;
}

// False unless the lengths describe a complete code: no codeword left unused, none doubly used.
bool buildCode(Code& code, std::span<const std::uint8_t> lengths) {
    code.counts.fill(0);
    for (const std::uint8_t length : lengths) {
        ++code.counts[length];
    }
    code.counts[0] = 0;
    int left = 1;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        left = 2 * left - code.counts[length];
        if (left < 0) {
            return false;
        }
    }
    if (left != 0) {
        return false;
    }
    std::array<std::uint16_t, kMaxCodeLength + 2> offsets{};
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        offsets[length + 1] = static_cast<std::uint16_t>(offsets[length] + code.counts[length]);
    }
    std::array<unsigned, kMaxCodeLength + 1> nextCode{};
    unsigned running = 0;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        running = (running + code.counts[length - 1]) << 1;
        nextCode[length] = running;
    }
    code.fast.fill(0);
    for (unsigned symbol = 0; symbol < lengths.size(); ++symbol) {
        const unsigned length = lengths[symbol];
        if (length == 0) {
            continue;
        }
        code.sorted[offsets[length]++] = static_cast<std::uint16_t>(symbol);
        const unsigned codeword = nextCode[length]++;
        if (length <= kFastBits) {
            const std::uint16_t entry = static_cast<std::uint16_t>((symbol << 4) | length);
            for (unsigned i = reversed(codeword, length); i < code.fast.size(); i += 1u << length) {
                code.fast[i] = entry;
            }
        }
    }
    return true;
}

// Decodes one symbol; at least kMaxCodeLength bits must be buffered.
unsigned decode(BitReader& r, const Code& code) {
    const std::uint16_t entry = code.fast[r.bits & kFastMask];
    if (entry != 0) {
        take(r, entry & 15);
        return entry >> 4;
    }
    // Canonical decoding one bit at a time: codewords of each length are consecutive numbers.
    unsigned codeword = 0;
    unsigned first = 0;
    unsigned index = 0;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        codeword |= take(r, 1);
        const unsigned count = code.counts[length];
        if (codeword - first < count) {
            return code.sorted[index + codeword - first];
        }
        index += count;
        first = (first + count) << 1;
        codeword <<= 1;
    }
    return 0;  // unreachable for a complete code
}

// Walks the symbols of one Huffman-coded block up to its end-of-block symbol. Each step takes a
// symbol's codeword and extra bits at once, and a length's distance after it.
bool walkSymbols(BitReader& r, const Code& literals, const Code& distances) {
    for (;;) {
        // One length and one distance with their extra bits need at most 48 bits.
        if (r.count < 48) {
            refill(r);
            if (overran(r)) {
                return false;
            }
        }
        unsigned literal = literals.steps[r.bits & kFastMask];
        if (literal == kLongCode) {
            const unsigned symbol = decode(r, literals);
            literal = literalStep(symbol, 0);
        }
        take(r, literal & kStepBitsMask);
        const unsigned kind = literal >> kStepKindShift;
        if (kind >= kEnd) {
            return kind == kEnd && !overran(r);
        }
        if (kind != kLength) {
            continue;
        }
        unsigned distance = distances.steps[r.bits & kFastMask];
        if ((distance >> kStepKindShift) != kDistance) {
            if (distance != kLongCode) {
                return false;
            }
            distance = distanceStep(decode(r, distances), 0);
            if ((distance >> kStepKindShift) != kDistance) {
                return false;
            }
        }
        take(r, distance & kStepBitsMask);
    }
}

bool walkCodedBlock(BitReader& reader, const Code& literals, const Code& distances) {
    BitReader r = reader;  // a local copy stays in registers
    const bool ok = walkSymbols(r, literals, distances);
    reader = r;
    return ok;
}

bool walkStoredBlock(BitReader& r, const std::uint8_t* begin) {
    take(r, r.count % 8);  // the rest of the current byte
    const unsigned length = takeRefilled(r, 16);
    const unsigned complement = takeRefilled(r, 16);
    if (overran(r) || (length ^ 0xFFFF) != complement) {
        return false;
    }
    // Drop the buffer and move on by bytes.
    const std::size_t position = static_cast<std::size_t>(r.next - begin) + r.padding - r.count / 8;
    const std::size_t size = static_cast<std::size_t>(r.end - begin);
    if (position > size || size - position < length) {
        return false;
    }
    r.next = begin + position + length;
    r.bits = 0;
    r.count = 0;
    r.padding = 0;
    return true;
}

bool walkDynamicBlock(BitReader& r, Code& literals, Code& distances) {
    const unsigned literalCount = takeRefilled(r, 5) + 257;
    const unsigned distanceCount = takeRefilled(r, 5) + 1;
    const unsigned lengthCodeCount = takeRefilled(r, 4) + 4;
    if (literalCount > kLiteralLengthSymbols || distanceCount > kDistanceSymbols) {
        return false;
    }
    std::array<std::uint8_t, kCodeLengthSymbols> lengthCodeLengths{};
    for (unsigned i = 0; i < lengthCodeCount; ++i) {
        lengthCodeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(takeRefilled(r, 3));
    }
    Code lengthCode;
    if (overran(r) || !buildCode(lengthCode, lengthCodeLengths)) {
        return false;
    }
    std::array<std::uint8_t, kLiteralLengthSymbols + kDistanceSymbols> lengths{};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        refill(r);
        if (overran(r)) {
            return false;
        }
        const unsigned symbol = decode(r, lengthCode);
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        unsigned times = 0;
        if (symbol == 16) {
            if (i == 0) {
                return false;
            }
            repeated = lengths[i - 1];
            times = 3 + take(r, 2);
        } else if (symbol == 17) {
            times = 3 + take(r, 3);
        } else {
            times = 11 + take(r, 7);
        }
        if (times > total - i) {
            return false;
        }
        for (; times > 0; --times) {
            lengths[i++] = repeated;
        }
    }
    if (lengths[kEndOfBlock] == 0 || !buildCode(literals, std::span(lengths).first(literalCount)) ||
        !buildCode(distances, std::span(lengths).subspan(literalCount, distanceCount))) {
        return false;
    }
    prepareSteps(literals, literalStep);
    prepareSteps(distances, distanceStep);
    return walkCodedBlock(r, literals, distances);
}

struct FixedCodes {
    Code literals;
    Code distances;
};

FixedCodes makeFixedCodes() {
    FixedCodes codes;
    std::array<std::uint8_t, kFixedLiteralLengthCodes> literalLengths{};
    for (unsigned s = 0; s < kFixedLiteralLengthCodes; ++s) {
        literalLengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    }
    std::array<std::uint8_t, kFixedDistanceCodes> distanceLengths{};
    distanceLengths.fill(5);
    buildCode(codes.literals, literalLengths);
    buildCode(codes.distances, distanceLengths);
    prepareSteps(codes.literals, literalStep);
    prepareSteps(codes.distances, distanceStep);
    return codes;
}

}  // namespace

bool hasUnambiguousBlocks(std::span<const std::uint8_t> zlibStream) {
    if (zlibStream.size() < kZlibHeaderSize) {
        return false;
    }
    std::optional<FixedCodes> fixed;  // built at the first fixed-code block
    const std::uint8_t* begin = zlibStream.data() + kZlibHeaderSize;
    BitReader r{begin, zlibStream.data() + zlibStream.size()};
    Code literals;
    Code distances;
    for (;;) {
        const unsigned final = takeRefilled(r, 1);
        const unsigned type = takeRefilled(r, 2);
        bool ok = false;
        switch (type) {
            case 0:
                ok = walkStoredBlock(r, begin);
                break;
            case 1:
                if (!fixed) {
                    fixed = makeFixedCodes();
                }
                ok = walkCodedBlock(r, fixed->literals, fixed->distances);
                break;
            case 2:
                ok = walkDynamicBlock(r, literals, distances);
                break;
            default:
                break;
        }
        if (!ok || overran(r)) {
            return false;
        }
        if (final) {
            return true;
        }
    }
}

}  // namespace levelkit

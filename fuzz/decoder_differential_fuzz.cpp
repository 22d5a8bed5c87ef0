// The stream decoder against zlib's one-shot `uncompress` on arbitrary bytes; any difference
// aborts. The two must agree on every input: both fail, or both succeed with the same bytes.
//
// The input is the recorded decoded size as a little-endian 32-bit word, a mode byte, then the
// stream. Random bytes almost never end in the right Adler-32, and a stream with a wrong one fails
// in every decoder alike, so in the second mode (odd mode byte) the bytes are raw deflate data:
// the harness puts a zlib header before them and, after the deflate data as libdeflate reads it,
// the checksum of what libdeflate decodes. That lets the search reach the block headers that
// libdeflate reads and zlib refuses.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "archive/bytes.hpp"
#include "archive/deflate_blocks.hpp"
#include "archive/stream_codec.hpp"
#include "fuzz_support.hpp"

using fuzzsupport::check;

namespace {

// Recorded sizes wrap at this, so that the buffers stay cheap; a stream of the input cap can still
// decode to far more, which is what makes a recorded size too small.
constexpr std::uint32_t kMaxRecordedSize = 1u << 17;

std::vector<std::uint8_t>& scratchBuffer() {
    static std::vector<std::uint8_t> buffer(kMaxRecordedSize);
    return buffer;
}

// What `uncompress` makes of the stream with room for `recorded` bytes.
std::optional<std::span<const std::uint8_t>> reference(std::span<const std::uint8_t> stream,
                                                       std::uint32_t recorded) {
    std::vector<std::uint8_t>& buffer = scratchBuffer();
    uLongf length = recorded;
    if (uncompress(buffer.data(), &length, stream.data(), static_cast<uLong>(stream.size())) !=
        Z_OK) {
        return std::nullopt;
    }
    return std::span<const std::uint8_t>(buffer.data(), length);
}

// A zlib header, the raw deflate data, and the Adler-32 of libdeflate's reading of it right where
// libdeflate's reading ends (the rest follows as trailing bytes); no checksum if it cannot read it.
std::vector<std::uint8_t> wrapRawDeflate(std::span<const std::uint8_t> raw) {
    std::vector<std::uint8_t> stream{0x78, 0x01};
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    const std::unique_ptr<libdeflate_decompressor, Free> decompressor(
        libdeflate_alloc_decompressor());
    std::vector<std::uint8_t>& buffer = scratchBuffer();
    std::size_t consumed = 0;
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress_ex(decompressor.get(), raw.data(), raw.size(), buffer.data(),
                                         buffer.size(), &consumed,
                                         &produced) != LIBDEFLATE_SUCCESS) {
        stream.insert(stream.end(), raw.begin(), raw.end());
        return stream;
    }
    stream.insert(stream.end(), raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(consumed));
    const uLong adler = adler32(adler32(0, nullptr, 0), buffer.data(), static_cast<uInt>(produced));
    for (int shift = 24; shift >= 0; shift -= 8) {
        stream.push_back(static_cast<std::uint8_t>(adler >> shift));
    }
    stream.insert(stream.end(), raw.begin() + static_cast<std::ptrdiff_t>(consumed), raw.end());
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzzsupport::kMaxInputSize || size < 5) {
        return 0;
    }
    const std::span<const std::uint8_t> input(data, size);
    levelkit::ByteReader reader{input};
    const std::uint32_t recorded =
        levelkit::loadLE<std::uint32_t>(reader, 0) % (kMaxRecordedSize + 1);
    const bool raw = (input[4] & 1) != 0;
    const std::vector<std::uint8_t> stream =
        raw ? wrapRawDeflate(input.subspan(5))
            : std::vector<std::uint8_t>(input.begin() + 5, input.end());

    // Walked on every input, so that coverage of the block structure guides the search.
    static_cast<void>(levelkit::hasUnambiguousBlocks(stream));

    const std::optional<levelkit::Bytes> ours = levelkit::inflateStream(stream, recorded);
    const std::optional<std::span<const std::uint8_t>> theirs = reference(stream, recorded);
    check(ours.has_value() == theirs.has_value(), "both decoders succeed or both fail");
    if (ours) {
        check(std::equal(ours->begin(), ours->end(), theirs->begin(), theirs->end()),
              "both decoders give the same bytes");
    }
    return 0;
}

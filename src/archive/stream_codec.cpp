#include "archive/stream_codec.hpp"

#include <zlib.h>
#ifdef LEVELKIT_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <limits>
#include <memory>

#include "archive/deflate_blocks.hpp"

namespace levelkit {
namespace {

// Deflate cannot expand a byte of input into more than 1032 bytes of output (a 258-byte match
// coded in two bits), so no honest stream decodes past this bound.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 64 * 1024;
// Below this expansion zlib alone decodes faster than the fast decoder and the walk together.
constexpr std::uint64_t kFastDecoderMinRatio = 6;

std::uint64_t plausibleSize(std::span<const std::uint8_t> compressed) {
    return compressed.size() * kMaxInflateRatio + kInflateSlack;
}

struct InflateSession {
    z_stream stream{};
    bool open = false;
    InflateSession() { open = inflateInit(&stream) == Z_OK; }
    ~InflateSession() {
        if (open) {
            inflateEnd(&stream);
        }
    }
    InflateSession(const InflateSession&) = delete;
    InflateSession& operator=(const InflateSession&) = delete;
};

// The reference decoder. The buffer grows with the output actually produced, up to `capacity`.
std::optional<Bytes> inflateWithZlib(std::span<const std::uint8_t> compressed,
                                     std::uint64_t capacity) {
    static_assert(sizeof(uInt) >= sizeof(std::uint32_t));
    if (compressed.size() > std::numeric_limits<uInt>::max()) {
        return std::nullopt;
    }
    InflateSession session;
    if (!session.open) {
        return std::nullopt;
    }
    z_stream& zs = session.stream;
    // zlib takes a non-const input pointer but never writes through it.
    zs.next_in = const_cast<Bytef*>(compressed.data());
    zs.avail_in = static_cast<uInt>(compressed.size());

    Bytes out(static_cast<std::size_t>(std::min(capacity, plausibleSize(compressed))));
    int status = Z_OK;
    do {
        const std::size_t produced = static_cast<std::size_t>(zs.total_out);
        if (produced == out.size() && out.size() < capacity) {
            const std::uint64_t grown = std::max<std::uint64_t>(out.size() * 2, 64 * 1024);
            out.resize(static_cast<std::size_t>(std::min(grown, capacity)));
        }
        zs.next_out = out.data() + produced;
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        status = inflate(&zs, Z_NO_FLUSH);
    } while (status == Z_OK);

    // Z_BUF_ERROR here means no progress: the input ended early or the output is full.
    if (status != Z_STREAM_END) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(zs.total_out));
    out.shrink_to_fit();
    return out;
}

#ifdef LEVELKIT_HAVE_LIBDEFLATE
struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

// The fast decoder, into a buffer of at most `capacity` bytes that it fills in one go. Its pages
// cost memory only as far as the output reaches. No result when it fails for any reason,
// including a buffer too small: the reference decoder then has the last word.
std::optional<Bytes> inflateWithLibdeflate(std::span<const std::uint8_t> compressed,
                                           std::uint64_t capacity) {
    const std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) {
        return std::nullopt;
    }
    Bytes out(static_cast<std::size_t>(std::min(capacity, plausibleSize(compressed))));
    std::size_t consumed = 0;  // asking for it lets bytes follow the stream
    std::size_t produced = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), compressed.data(), compressed.size(),
                                      out.data(), out.size(), &consumed,
                                      &produced) != LIBDEFLATE_SUCCESS) {
        return std::nullopt;
    }
    out.resize(produced);
    out.shrink_to_fit();
    return out;
}
#else
std::optional<Bytes> inflateWithLibdeflate(std::span<const std::uint8_t>, std::uint64_t) {
    return std::nullopt;
}
#endif

}  // namespace

std::optional<Bytes> inflateStream(std::span<const std::uint8_t> compressed,
                                   std::uint32_t expectedSize) {
    // Told to expect nothing, zlib's one-shot decoder still lends itself one byte of room and
    // then reports an empty result; levels recorded that way must read the same here.
    const std::uint64_t capacity = std::max<std::uint64_t>(expectedSize, 1);
    // The fast decoder reads some malformed block headers that zlib refuses; it is trusted only
    // with streams that have none, and only when it succeeds. Telling costs a walk over the
    // compressed symbols, which pays only where each compressed byte expands into several.
    std::optional<Bytes> out;
    if (capacity / kFastDecoderMinRatio >= compressed.size()) {
        out = inflateWithLibdeflate(compressed, capacity);
    }
    if (!out || !hasUnambiguousBlocks(compressed)) {
        out.reset();  // never two decoded buffers at once
        out = inflateWithZlib(compressed, capacity);
    }
    if (out && expectedSize == 0) {
        out->clear();
    }
    return out;
}

std::optional<Bytes> deflateStream(std::span<const std::uint8_t> data) {
    if (data.size() > std::numeric_limits<uLong>::max()) {
        return std::nullopt;
    }
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()),
                  kCompressionLevel) != Z_OK) {
        return std::nullopt;
    }
    out.resize(length);
    out.shrink_to_fit();
    return out;
}

}  // namespace levelkit

#include "archive/stream_codec.hpp"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace levelkit {
namespace {

// Deflate cannot expand a byte of input into more than 1032 bytes of output (a 258-byte match
// coded in two bits), so no honest stream decodes past this bound.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 64 * 1024;

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

}  // namespace

std::optional<Bytes> inflateStream(std::span<const std::uint8_t> compressed,
                                   std::uint32_t expectedSize) {
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

    const std::uint64_t plausible = compressed.size() * kMaxInflateRatio + kInflateSlack;
    Bytes out(static_cast<std::size_t>(std::min<std::uint64_t>(expectedSize, plausible)));
    Bytef scratch = 0;  // a valid output pointer while the buffer is empty
    int status = Z_OK;
    do {
        const std::size_t produced = static_cast<std::size_t>(zs.total_out);
        if (produced == out.size() && out.size() < expectedSize) {
            const std::size_t grown = std::max<std::size_t>(out.size() * 2, 64 * 1024);
            out.resize(std::min<std::size_t>(grown, expectedSize));
        }
        zs.next_out = out.empty() ? &scratch : out.data() + produced;
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        status = inflate(&zs, Z_NO_FLUSH);
    } while (status == Z_OK);

    // Z_BUF_ERROR here means no progress: the input ended early or the output is full.
    if (status != Z_STREAM_END) {
        return std::nullopt;
    }
    if (zs.total_out < out.size()) {
        out.resize(static_cast<std::size_t>(zs.total_out));
        out.shrink_to_fit();
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

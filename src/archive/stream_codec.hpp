// The zlib-format codec of level streams.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "archive/bytes.hpp"

namespace levelkit {

// Every stream is compressed at the highest level, so that a level saved twice has the same bytes.
inline constexpr int kCompressionLevel = 9;

// Decodes one zlib-format stream exactly as zlib's one-shot `uncompress` does with a buffer of
// `expectedSize` bytes: it succeeds when the stream ends within `expectedSize` decoded bytes (within
// one byte when `expectedSize` is 0, the result then being empty); bytes after its end are
// ignored. The result holds the bytes decoded, never more than `expectedSize`.
//
// `expectedSize` comes from a level header and may lie: it caps the output but is never allocated
// on its word alone. Memory grows with the bytes actually decoded, within what the input could
// possibly expand to.
std::optional<Bytes> inflateStream(std::span<const std::uint8_t> compressed,
                                   std::uint32_t expectedSize);

// Compresses `data` into a zlib-format stream at `kCompressionLevel`; no result when the
// compressor fails.
std::optional<Bytes> deflateStream(std::span<const std::uint8_t> data);

}  // namespace levelkit

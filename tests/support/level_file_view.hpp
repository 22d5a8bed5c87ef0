// Reading a level file back in tests, through the builder's own view of the format rather than the
// library's, and writing streams whose compressed bytes no re-encoding would reproduce.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "level_builder.hpp"

namespace testsupport {

// A valid zlib stream of stored blocks. The library re-encodes at level 9, whose header byte alone
// differs, so a stream written this way shows whether a save kept it or compressed it again.
inline levelgen::Bytes storedStream(const levelgen::Bytes& decoded) {
    uLongf length = compressBound(static_cast<uLong>(decoded.size()));
    levelgen::Bytes out(length);
    if (compress2(out.data(), &length, decoded.data(), static_cast<uLong>(decoded.size()), 0) !=
        Z_OK) {
        std::abort();
    }
    out.resize(length);
    return out;
}

struct LevelFileView {
    std::uint16_t version = 0;
    std::uint32_t declaredSize = 0;
    std::uint32_t checksum = 0;
    std::array<std::uint32_t, 4> uncompressedSize{};
    std::array<levelgen::Bytes, 4> compressed;
    levelgen::Bytes body;  // the four compressed streams back to back
};

// Splits a level file at the sizes its header records; the file must hold them.
inline LevelFileView viewLevel(const levelgen::Bytes& file) {
    LevelFileView view;
    view.version = static_cast<std::uint16_t>(levelgen::getLE(file, 220, 2));
    view.declaredSize = levelgen::getLE(file, 222, 4);
    view.checksum = levelgen::getLE(file, 226, 4);
    std::size_t at = levelgen::kHeaderSize;
    for (std::size_t n = 0; n < 4; ++n) {
        const std::uint32_t size = levelgen::getLE(file, 230 + 8 * n, 4);
        view.uncompressedSize[n] = levelgen::getLE(file, 234 + 8 * n, 4);
        view.compressed[n].assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                                  file.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    view.body.assign(file.begin() + levelgen::kHeaderSize,
                     file.begin() + static_cast<std::ptrdiff_t>(at));
    return view;
}

// Stream `n` decoded at the length the header records; empty when it does not decode.
inline levelgen::Bytes decodedStream(const LevelFileView& view, std::size_t n) {
    return levelgen::decompress(view.compressed[n], view.uncompressedSize[n])
        .value_or(levelgen::Bytes{});
}

}  // namespace testsupport

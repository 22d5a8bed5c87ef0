// A check of the block structure of deflate data, without decoding it.
//
// Decoders of the deflate format agree on every stream whose blocks are all well-formed, but not
// on some malformed block headers: a dynamic block that declares the two reserved literal/length
// symbols or the two reserved distance symbols, or whose Huffman codes are incomplete (an empty
// distance code, a code of a single one-bit codeword), is refused by some decoders and read by
// others, which give the unused codewords a meaning of their own. Compressors never write such
// blocks. This check recognises the streams that have none, so that a fast decoder may be trusted
// with them and every other stream can go to the reference decoder.
#pragma once

#include <cstdint>
#include <span>

namespace levelkit {

// True when the zlib-format stream reaches its final block and every block on the way is one of:
// a stored block whose length complement matches; a fixed-code block that uses only the 286
// literal/length and 30 distance symbols; a dynamic block that declares at most 286 literal/length
// and 30 distance symbols, whose three Huffman codes are complete and whose literal/length code
// holds the end-of-block symbol. False for anything else, including data that ends early. The
// two-byte zlib header and the checksum after the last block are not looked at.
bool hasUnambiguousBlocks(std::span<const std::uint8_t> zlibStream);

}  // namespace levelkit

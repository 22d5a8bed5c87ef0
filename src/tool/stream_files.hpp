// Split and fuse: a level's four streams to and from raw stream files beside it,
// "<level>.data0" to "<level>.data3", each holding exactly one stream's decoded bytes.
#pragma once

#include <string>

namespace levelkit {

// "<level>.data<n>" for stream n.
std::string rawStreamFileName(const std::string& levelPath, int stream);

// Decodes every stream into its raw stream file. True when the level was read and all four streams
// were decoded and written. A stream that fails leaves its raw stream file as it was.
bool splitLevel(const std::string& levelPath);

// Compresses every raw stream file that exists into its stream and rewrites the level with a fresh
// checksum and declared size; streams without a raw stream file are kept as read. True when the
// level was read, every raw stream file found was compressed, and the level was written.
bool fuseLevel(const std::string& levelPath);

}  // namespace levelkit

// levelkit-floor: the yardstick of the benchmarks. For each mode it makes exactly the zlib calls
// and the file reads and writes that the mode needs, on the same files, and nothing else: no
// parsing, no checks, no messages. What levelkit costs beyond this is what levelkit adds.
//
//   levelkit-floor split LEVEL            decode the four streams, write LEVEL.data0-3
//   levelkit-floor fuse LEVEL             compress LEVEL.data0-3, write the level
//   levelkit-floor swap LEVEL SWAPLIST    read the list, decode and re-encode streams 0 and 2,
//                                         write the level
//   levelkit-floor stats LEVEL            decode streams 0 and 1, write LEVEL.stats.txt
//
// Streams decode with `uncompress` into a buffer of the recorded size and encode with `compress2`
// at level 9 into a buffer of `compressBound`; every file is written the way levelkit writes one:
// a temporary file beside it, fsync, rename. It trusts its input; give it levels from make-level.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// An uninitialised buffer: nothing is spent on bytes that are about to be overwritten.
struct Bytes {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t length = 0;

    Bytes() = default;
    explicit Bytes(std::size_t n) : bytes(new std::uint8_t[n]), length(n) {}
    std::uint8_t* data() const { return bytes.get(); }
    std::size_t size() const { return length; }
    std::uint8_t& operator[](std::size_t i) const { return bytes[i]; }
};

constexpr std::size_t kHeaderSize = 262;
constexpr std::size_t kChecksumOffset = 226;
constexpr std::size_t kDeclaredSizeOffset = 222;
constexpr std::size_t kStreamTableOffset = 230;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "levelkit-floor: %s\n", what.c_str());
    std::exit(1);
}

std::uint32_t getLE(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void putLE(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::FILE* openFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        fail("cannot open " + path);
    }
    return file;
}

void readExactly(std::FILE* file, Bytes& into) {
    if (std::fread(into.data(), 1, into.size(), file) != into.size()) {
        fail("short read");
    }
}

Bytes readFile(const std::string& path) {
    std::FILE* file = openFile(path);
    std::fseek(file, 0, SEEK_END);
    Bytes bytes(static_cast<std::size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    readExactly(file, bytes);
    std::fclose(file);
    return bytes;
}

void replaceFile(const std::string& path,
                 const std::vector<std::pair<const void*, std::size_t>>& pieces) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        fail("cannot create " + temp);
    }
    for (const auto& [data, size] : pieces) {
        if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
            fail("cannot write " + temp);
        }
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        fail("cannot replace " + path);
    }
}

struct Level {
    Bytes header;
    std::array<Bytes, 4> streams;
};

Level readLevel(const std::string& path) {
    std::FILE* file = openFile(path);
    Level level;
    level.header = Bytes(kHeaderSize);
    readExactly(file, level.header);
    for (std::size_t i = 0; i < 4; ++i) {
        level.streams[i] = Bytes(getLE(&level.header[kStreamTableOffset + 8 * i]));
        readExactly(file, level.streams[i]);
    }
    std::fclose(file);
    return level;
}

Bytes decode(const Level& level, std::size_t i) {
    uLongf length = getLE(&level.header[kStreamTableOffset + 8 * i + 4]);
    Bytes out(length);
    if (uncompress(out.data(), &length, level.streams[i].data(),
                   static_cast<uLong>(level.streams[i].size())) != Z_OK) {
        fail("cannot decode stream " + std::to_string(i));
    }
    out.length = length;
    return out;
}

void encode(Level& level, std::size_t i, const Bytes& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    Bytes out(length);
    if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
        fail("cannot encode stream " + std::to_string(i));
    }
    out.length = length;
    level.streams[i] = std::move(out);
    putLE(&level.header[kStreamTableOffset + 8 * i], static_cast<std::uint32_t>(length));
    putLE(&level.header[kStreamTableOffset + 8 * i + 4], static_cast<std::uint32_t>(data.size()));
}

void writeLevel(Level& level, const std::string& path) {
    uLong crc = crc32(0, nullptr, 0);
    std::uint32_t size = kHeaderSize;
    for (const Bytes& stream : level.streams) {
        crc = crc32(crc, stream.data(), static_cast<uInt>(stream.size()));
        size += static_cast<std::uint32_t>(stream.size());
    }
    putLE(&level.header[kChecksumOffset], static_cast<std::uint32_t>(crc));
    putLE(&level.header[kDeclaredSizeOffset], size);
    std::vector<std::pair<const void*, std::size_t>> pieces{{level.header.data(), kHeaderSize}};
    for (const Bytes& stream : level.streams) {
        pieces.emplace_back(stream.data(), stream.size());
    }
    replaceFile(path, pieces);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fail("usage: levelkit-floor split|fuse|stats LEVEL, levelkit-floor swap LEVEL SWAPLIST");
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    if (mode == "split") {
        const Level level = readLevel(path);
        for (std::size_t i = 0; i < 4; ++i) {
            const Bytes decoded = decode(level, i);
            replaceFile(path + ".data" + std::to_string(i), {{decoded.data(), decoded.size()}});
        }
    } else if (mode == "fuse") {
        Level level = readLevel(path);
        for (std::size_t i = 0; i < 4; ++i) {
            encode(level, i, readFile(path + ".data" + std::to_string(i)));
        }
        writeLevel(level, path);
    } else if (mode == "swap" && argc == 4) {
        readFile(argv[3]);
        Level level = readLevel(path);
        const Bytes info = decode(level, 0);
        const Bytes dictionary = decode(level, 2);
        encode(level, 0, info);
        encode(level, 2, dictionary);
        writeLevel(level, path);
    } else if (mode == "stats") {
        const Level level = readLevel(path);
        decode(level, 0);
        decode(level, 1);
        // A report of typical length.
        const std::string report(600, 'x');
        replaceFile(path + ".stats.txt", {{report.data(), report.size()}});
    } else {
        fail("unknown mode " + mode);
    }
    return 0;
}

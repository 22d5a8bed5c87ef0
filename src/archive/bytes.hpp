// Little-endian field access at fixed offsets, with bounds checks.
//
// Every byte field of a level file and of its decoded streams goes through these helpers; nothing
// lays a struct over bytes. A reader or writer keeps an `ok` flag instead of failing per field: an
// access outside the buffer clears it (a read yields 0, a write is dropped), so a whole run of
// field accesses is followed by a single check.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace levelkit {

// Memory for buffers. A buffer of 2 MiB or more is aligned to 2 MiB and offered huge pages where
// the system has them, so that filling a decoded stream of hundreds of MiB takes hundreds of page
// faults rather than tens of thousands; they cost most of the time of a plain decode. As for any
// page, memory is taken only as the buffer is written.
void* allocateBytes(std::size_t size);
void freeBytes(void* bytes, std::size_t size) noexcept;

// Leaves new elements uninitialised on resize, so that a buffer sized for a decoder's output costs
// memory only for the pages the decoder actually writes.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    using std::allocator<T>::allocator;
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    static_assert(sizeof(T) == 1, "for byte buffers");
    T* allocate(std::size_t n) { return static_cast<T*>(allocateBytes(n)); }
    void deallocate(T* p, std::size_t n) noexcept { freeBytes(p, n); }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// An owned byte buffer. Construct with an explicit fill value (`Bytes(n, 0)`) where every byte
// must be defined before it is read.
using Bytes = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;

struct ByteReader {
    std::span<const std::uint8_t> bytes;
    bool ok = true;
};

struct ByteWriter {
    std::span<std::uint8_t> bytes;
    bool ok = true;
};

namespace detail {

constexpr bool fits(std::size_t size, std::size_t offset, std::size_t width) {
    return offset <= size && width <= size - offset;
}

}  // namespace detail

template <class T>
concept FieldInt = std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::uint16_t> ||
    std::is_same_v<T, std::uint32_t>;

template <FieldInt T>
T loadLE(ByteReader& r, std::size_t offset) {
    if (!detail::fits(r.bytes.size(), offset, sizeof(T))) {
        r.ok = false;
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        value = (value << 8) | r.bytes[offset + i];
    }
    return static_cast<T>(value);
}

template <FieldInt T>
void storeLE(ByteWriter& w, std::size_t offset, T value) {
    if (!detail::fits(w.bytes.size(), offset, sizeof(T))) {
        w.ok = false;
        return;
    }
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        w.bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// `transfer` moves one field between a record and its bytes: from the bytes with a reader, into
// them with a writer. A record's layout is written once, as a function template over the direction,
// so that parsing and storing cannot disagree about an offset.

template <FieldInt T>
void transfer(ByteReader& r, std::size_t offset, T& value) {
    value = loadLE<T>(r, offset);
}

template <FieldInt T>
void transfer(ByteWriter& w, std::size_t offset, const T& value) {
    storeLE<T>(w, offset, value);
}

// A run of consecutive values, each of its own width; byte runs are copied as they are.
template <FieldInt T>
void transfer(ByteReader& r, std::size_t offset, std::span<T> values) {
    if (!detail::fits(r.bytes.size(), offset, values.size_bytes())) {
        r.ok = false;
        return;
    }
    if constexpr (sizeof(T) == 1) {
        if (!values.empty()) {
            std::memcpy(values.data(), r.bytes.data() + offset, values.size());
        }
    } else {
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = loadLE<T>(r, offset + i * sizeof(T));
        }
    }
}

template <FieldInt T>
void transfer(ByteWriter& w, std::size_t offset, std::span<const T> values) {
    if (!detail::fits(w.bytes.size(), offset, values.size_bytes())) {
        w.ok = false;
        return;
    }
    if constexpr (sizeof(T) == 1) {
        if (!values.empty()) {
            std::memcpy(w.bytes.data() + offset, values.data(), values.size());
        }
    } else {
        for (std::size_t i = 0; i < values.size(); ++i) {
            storeLE<T>(w, offset + i * sizeof(T), values[i]);
        }
    }
}

template <FieldInt T, std::size_t N>
void transfer(ByteReader& r, std::size_t offset, std::array<T, N>& values) {
    transfer(r, offset, std::span<T>(values));
}

template <FieldInt T, std::size_t N>
void transfer(ByteWriter& w, std::size_t offset, const std::array<T, N>& values) {
    transfer(w, offset, std::span<const T>(values));
}

template <FieldInt T, class Alloc>
void transfer(ByteReader& r, std::size_t offset, std::vector<T, Alloc>& values) {
    transfer(r, offset, std::span<T>(values));
}

template <FieldInt T, class Alloc>
void transfer(ByteWriter& w, std::size_t offset, const std::vector<T, Alloc>& values) {
    transfer(w, offset, std::span<const T>(values));
}

}  // namespace levelkit

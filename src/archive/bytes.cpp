#include "archive/bytes.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace levelkit {
namespace {

constexpr std::size_t kHugePageSize = 2 * 1024 * 1024;

}  // namespace

void* allocateBytes(std::size_t size) {
    if (size < kHugePageSize) {
        return ::operator new(size);
    }
    void* bytes = ::operator new (size, std::align_val_t{kHugePageSize});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: where it is refused the buffer works the same with small pages.
    ::madvise(bytes, size, MADV_HUGEPAGE);
#endif
    return bytes;
}

void freeBytes(void* bytes, std::size_t size) noexcept {
    if (size < kHugePageSize) {
        ::operator delete(bytes);
    } else {
        ::operator delete (bytes, std::align_val_t{kHugePageSize});
    }
}

}  // namespace levelkit

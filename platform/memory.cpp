#include "platform/memory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace tw {

void FreeDeleter::operator()(void* p) const { std::free(p); }

void* AllocateLarge(std::size_t bytes) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    void* p = nullptr;
    if (bytes >= kHuge) {
        std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
        p = std::aligned_alloc(kHuge, rounded);
        if (p) ::madvise(p, rounded, MADV_HUGEPAGE);
    } else {
        p = std::malloc(bytes ? bytes : 1);
    }
    if (!p) throw std::bad_alloc();
    return p;
}

void ByteBuffer::Assign(std::string_view bytes) {
    data_ = MakeLargeArray<char>(bytes.size() + 1);
    std::memcpy(data_.get(), bytes.data(), bytes.size());
    size_ = bytes.size();
}

}  // namespace tw

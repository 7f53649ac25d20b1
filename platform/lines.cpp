#include "platform/lines.h"

namespace tw {

const ByteScanner& LineEndBytes() {
    static const ByteScanner scanner(kLineEnds);
    return scanner;
}

std::size_t LineLength(const char* p, const char* end) {
    return static_cast<std::size_t>(LineEndBytes().Next(p, end) - p);
}

void LineCursor::LoadBlock(std::size_t base) {
    base_ = base;
    loaded_ = true;
    const char* p = data_.data() + base;
    std::size_t n = data_.size() - base;
    if (n >= 64) {
        mask_ = LineEndBytes().Mask64(p);
        return;
    }
    mask_ = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (IsLineEnd(p[i])) mask_ |= std::uint64_t{1} << i;
    }
}

std::size_t LineCursor::FindEndFrom(std::size_t from) {
    std::size_t n = data_.size();
    if (!loaded_ || from < base_ || from >= base_ + 64) LoadBlock(from);
    for (;;) {
        std::uint64_t m = mask_ >> (from - base_);
        if (m != 0) return from + static_cast<std::size_t>(__builtin_ctzll(m));
        if (base_ + 64 >= n) return n;
        LoadBlock(base_ + 64);
        from = base_;
    }
}

}  // namespace tw

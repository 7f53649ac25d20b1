// Finding the next (or last) byte of a set in a text. Every "is any of
// these bytes here" question of the program goes through this one scanner,
// built from one table of member bytes, so a fast block test can never
// disagree with the table it stands for.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

using ByteTable = std::array<bool, 256>;

// The table holding exactly the bytes of `bytes`.
constexpr ByteTable TableOf(std::string_view bytes) {
    ByteTable t{};
    for (char c : bytes) t[static_cast<unsigned char>(c)] = true;
    return t;
}

class ByteScanner {
public:
    explicit ByteScanner(const ByteTable& members) : table_(members) {
        Census census = CensusOf(members);
        // A few members are compared exactly; a larger set is compared on
        // its printable members plus a range test for the control and
        // 8-bit bytes, and every hit is confirmed in the table.
        exact_ = census.count <= kExact;
        if (!exact_ && census.printable > kExact) simd_ = false;
        wide_ = exact_ ? Wide::None : census.low ? Wide::BelowSpace : census.high ? Wide::High : Wide::None;
        PickCompared(members);
#if defined(__SSE2__)
        for (int i = 0; i < compared_; ++i) vectors_[i] = _mm_set1_epi8(bytes_[static_cast<std::size_t>(i)]);
#endif
    }

    bool Has(char c) const { return table_[static_cast<unsigned char>(c)]; }

    // The first member in [p, end), or `end`.
    const char* Next(const char* p, const char* end) const {
#if defined(__SSE2__)
        if (simd_) {
            for (; end - p >= 16; p += 16) {
                unsigned m = Block(p);
                if (m != 0) return p + __builtin_ctz(m);
            }
        }
#endif
        for (; p < end; ++p) {
            if (Has(*p)) return p;
        }
        return end;
    }

    // The last member in [begin, end), or nullptr.
    const char* Previous(const char* begin, const char* end) const {
#if defined(__SSE2__)
        if (simd_) {
            for (; end - begin >= 16; end -= 16) {
                unsigned m = Block(end - 16);
                if (m != 0) return end - 16 + (31 - __builtin_clz(m));
            }
        }
#endif
        while (end > begin) {
            --end;
            if (Has(*end)) return end;
        }
        return nullptr;
    }

    bool AnyIn(std::string_view text) const {
        const char* end = text.data() + text.size();
        return Next(text.data(), end) != end;
    }

    // A bit per member among the 64 bytes at `p`, all of which are readable.
    std::uint64_t Mask64(const char* p) const {
        std::uint64_t mask = 0;
#if defined(__SSE2__)
        if (simd_) {
            for (int i = 0; i < 4; ++i) mask |= static_cast<std::uint64_t>(Block(p + 16 * i)) << (16 * i);
            return mask;
        }
#endif
        for (int i = 0; i < 64; ++i) {
            if (Has(p[i])) mask |= std::uint64_t{1} << i;
        }
        return mask;
    }

private:
    static constexpr int kExact = 8;
    enum class Wide { None, BelowSpace, High };

    // How many members there are, how many printable, and whether any is
    // a control byte (below 32) or an 8-bit one.
    struct Census {
        int count = 0, printable = 0;
        bool low = false, high = false;
    };
    static Census CensusOf(const ByteTable& members) {
        Census n;
        for (int c = 0; c < 256; ++c) {
            if (!members[static_cast<std::size_t>(c)]) continue;
            ++n.count;
            if (c < 32) n.low = true;
            else if (c >= 128) n.high = true;
            else ++n.printable;
        }
        return n;
    }

    // The bytes compared one by one: all members of an exact set, the
    // printable ones (up to kExact) of a larger one.
    void PickCompared(const ByteTable& members) {
        for (int c = 0; c < 256; ++c) {
            if (!members[static_cast<std::size_t>(c)]) continue;
            if (!exact_ && (c < 32 || c >= 128)) continue;
            if (compared_ < kExact) bytes_[static_cast<std::size_t>(compared_++)] = static_cast<char>(c);
        }
    }

#if defined(__SSE2__)
    // A bit per member among the 16 bytes at `p`.
    unsigned Block(const char* p) const {
        __m128i v;
        std::memcpy(&v, p, 16);
        __m128i m = _mm_setzero_si128();
        // The sets scanned most (line ends) have two bytes: compared
        // without the loop.
        if (compared_ == 2) {
            m = _mm_or_si128(_mm_cmpeq_epi8(v, vectors_[0]), _mm_cmpeq_epi8(v, vectors_[1]));
        } else {
            for (int i = 0; i < compared_; ++i) m = _mm_or_si128(m, _mm_cmpeq_epi8(v, vectors_[i]));
        }
        // As signed bytes, 128 to 255 are below zero.
        if (wide_ == Wide::BelowSpace) m = _mm_or_si128(m, _mm_cmplt_epi8(v, _mm_set1_epi8(32)));
        else if (wide_ == Wide::High) m = _mm_or_si128(m, _mm_cmplt_epi8(v, _mm_setzero_si128()));
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (exact_ || bits == 0) return bits;
        unsigned confirmed = 0;
        for (unsigned rest = bits; rest != 0; rest &= rest - 1) {
            int i = __builtin_ctz(rest);
            if (Has(p[i])) confirmed |= 1u << i;
        }
        return confirmed;
    }
    __m128i vectors_[kExact]{};
#endif
    ByteTable table_;
    std::array<char, kExact> bytes_{};
    int compared_ = 0;
    bool exact_ = true;
    bool simd_ = true;
    Wide wide_ = Wide::None;
};

}  // namespace tw

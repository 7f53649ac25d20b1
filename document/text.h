// Small text helpers shared by the procedures.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

// Removes leading and trailing spaces (blanks only, as the format trims).
inline std::string_view TrimView(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}
inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

inline std::string ToUpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return r;
}

// True when `s` holds `a` or `b`; sixteen bytes at a time, since most
// cells hold neither and this decides whether they need any work.
inline bool ContainsEither(std::string_view s, char a, char b) {
    const char* p = s.data();
    const char* end = p + s.size();
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b);
    for (; end - p >= 16; p += 16) {
        __m128i v;
        std::memcpy(&v, p, 16);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb))) != 0) return true;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b) return true;
    }
    return false;
}

}  // namespace tw

// Small text helpers shared by the procedures.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace tw

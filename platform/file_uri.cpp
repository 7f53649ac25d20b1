#include "platform/file_uri.h"

namespace tw {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> PathFromFileUri(std::string_view text) {
    if (!StartsWithNoCase(text, "file:")) return std::nullopt;
    std::string_view rest = text.substr(5);
    if (rest.substr(0, 2) == "//") {
        // file://HOST/path: only this machine's own files are ours.
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        std::string_view host = rest.substr(0, slash);
        bool local = host.empty() || (host.size() == 9 && StartsWithNoCase(host, "localhost"));
        if (!local) return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    // A query or a fragment is no part of the name; "?" and "#" in a
    // name arrive escaped.
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
            const char byte = static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
            // No name holds a "/": an escaped one would name another file
            // than the URI's own folders say (GLib refuses it too).
            if (byte == '/') return std::nullopt;
            path += byte;
            i += 2;
        } else {
            path += rest[i];  // a stray "%" stands for itself
        }
    }
    // A NUL would cut the name short where the system reads it.
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

}  // namespace tw

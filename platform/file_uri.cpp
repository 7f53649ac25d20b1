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

// Takes "//HOST" off the front of `rest` when it is there; false when
// the host is another machine (only this machine's own files are ours).
bool DropLocalHost(std::string_view& rest) {
    if (rest.substr(0, 2) != "//") return true;
    rest.remove_prefix(2);
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    std::string_view host = rest.substr(0, slash);
    bool local = host.empty() || (host.size() == 9 && StartsWithNoCase(host, "localhost"));
    if (!local) return false;
    rest.remove_prefix(slash);
    return true;
}

// The byte a "%XX" at rest[i] stands for, or -1 when there is none.
int EscapedByte(std::string_view rest, std::size_t i) {
    if (rest[i] != '%' || !(i + 2 < rest.size())) return -1;
    int high = HexDigit(rest[i + 1]), low = HexDigit(rest[i + 2]);
    if (high < 0 || low < 0) return -1;
    return high * 16 + low;
}

// The path with its "%XX" escapes undone; nothing when one stands for a
// "/": no name holds one, and an escaped one would name another file than
// the URI's own folders say (GLib refuses it too).
std::optional<std::string> Unescaped(std::string_view rest) {
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        int escaped = EscapedByte(rest, i);
        if (escaped < 0) {
            path += rest[i];  // a stray "%" stands for itself
            continue;
        }
        const char byte = static_cast<char>(escaped);
        if (byte == '/') return std::nullopt;
        path += byte;
        i += 2;
    }
    return path;
}

}  // namespace

std::optional<std::string> PathFromFileUri(std::string_view text) {
    if (!StartsWithNoCase(text, "file:")) return std::nullopt;
    std::string_view rest = text.substr(5);
    // file://HOST/path: only this machine's own files are ours.
    if (!DropLocalHost(rest)) return std::nullopt;
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    // A query or a fragment is no part of the name; "?" and "#" in a
    // name arrive escaped.
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::optional<std::string> path = Unescaped(rest);
    // A NUL would cut the name short where the system reads it.
    if (!path || path->find('\0') != std::string::npos) return std::nullopt;
    return path;
}

}  // namespace tw

#include "document/constructs.h"

namespace tw {

namespace {

bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int SmallNumber(std::string_view digits) {
    int n = 0;
    for (char c : digits) {
        n = n * 10 + (c - '0');
        if (n > 1000000) return 1000000;
    }
    return n;
}

// Applies one code (the text between the two "%") to `out`; false when it
// is not one of the cell constructs. Decided on length and letters: every
// cell of a spreadsheet passes through here.
bool Apply(std::string_view code, CellConstructs& out) {
    if (code.empty()) return false;
    char a = code[0];
    char b = code.size() > 1 ? code[1] : 0;
    switch (code.size()) {
    case 1:
        switch (a) {
        case 'V': out.is_number = true; return true;
        case 'L': out.align = CellAlign::Left; return true;
        case 'R': out.align = CellAlign::Right; return true;
        case 'C': out.align = CellAlign::Centre; return true;
        case 'F': out.align = CellAlign::Free; return true;
        case 'B': out.brackets = true; return true;
        default: return false;
        }
    case 2:
        if (a == 'J' && b == 'L') out.align = CellAlign::JustifyLeft;
        else if (a == 'J' && b == 'R') out.align = CellAlign::JustifyRight;
        else if (a == 'L' && b == 'C') out.leading = true;
        else if (a == 'T' && b == 'C') out.trailing = true;
        else if (a == 'D' && b == 'F') {
            out.floating = true;
            out.decimals = -1;
        } else if (a == 'D' && b >= '0' && b <= '9') {
            out.decimals = b - '0';
            out.floating = false;
        } else if (a == 'P' && b >= '0' && b <= '9') {
            out.page_break = b - '0';
        } else {
            return false;
        }
        return true;
    default:
        if (code == "LCR") {
            out.align = CellAlign::LeftCentreRight;
            return true;
        }
        if (a == 'P' && IsDigits(code.substr(1))) {
            out.page_break = SmallNumber(code.substr(1));
            return true;
        }
        return false;
    }
}

}  // namespace

namespace {

// Walks the codes of a text: `on_code(open, close)` for each code between
// two "%", `on_text(from, to)` for the text between them.
template <class Code, class Text>
void ScanCodes(std::string_view text, Code&& on_code, Text&& on_text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) break;
        std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        pos = on_code(pos, open, close);
    }
    on_text(pos);
}

}  // namespace

bool IsNumberCell(std::string_view text) {
    if (text.find("%V%") == std::string_view::npos) return false;
    CellConstructs flags;
    ScanCodes(
        text,
        [&](std::size_t, std::size_t open, std::size_t close) {
            std::string_view code = text.substr(open + 1, close - open - 1);
            if (Apply(code, flags)) return close + 1;
            bool alpha = !code.empty() && ((code[0] >= 'A' && code[0] <= 'Z') || (code[0] >= 'a' && code[0] <= 'z'));
            return alpha ? close + 1 : close;
        },
        [](std::size_t) {});
    return flags.is_number;
}

CellConstructs ParseCellConstructs(std::string_view text) {
    CellConstructs out;
    out.content.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) break;
        std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        std::string_view code = text.substr(open + 1, close - open - 1);
        if (Apply(code, out)) {
            out.content.append(text.substr(pos, open - pos));
            pos = close + 1;
        } else if (!code.empty() && ((code[0] >= 'A' && code[0] <= 'Z') || (code[0] >= 'a' && code[0] <= 'z'))) {
            // Some other code (a highlight, "%PC%"): kept whole.
            out.content.append(text.substr(pos, close + 1 - pos));
            pos = close + 1;
        } else {
            // Not a code ("50% of 20%"): the second "%" may open the next one.
            out.content.append(text.substr(pos, close - pos));
            pos = close;
        }
    }
    out.content.append(text.substr(pos));
    return out;
}

}  // namespace tw

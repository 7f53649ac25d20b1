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

// %V%, %L%, %R%, %C%, %F%, %B%.
bool ApplyOneLetter(char a, CellConstructs& out) {
    switch (a) {
    case 'V': out.is_number = true; return true;
    case 'L': out.align = CellAlign::Left; return true;
    case 'R': out.align = CellAlign::Right; return true;
    case 'C': out.align = CellAlign::Centre; return true;
    case 'F': out.align = CellAlign::Free; return true;
    case 'B': out.brackets = true; return true;
    default: return false;
    }
}

constexpr int Pair(char a, char b) { return (static_cast<unsigned char>(a) << 8) | static_cast<unsigned char>(b); }

// %JL%, %JR%, %LC%, %TC%, %DF%.
bool ApplyTwoLetters(char a, char b, CellConstructs& out) {
    switch (Pair(a, b)) {
    case Pair('J', 'L'): out.align = CellAlign::JustifyLeft; return true;
    case Pair('J', 'R'): out.align = CellAlign::JustifyRight; return true;
    case Pair('L', 'C'): out.leading = true; return true;
    case Pair('T', 'C'): out.trailing = true; return true;
    case Pair('D', 'F'):
        out.floating = true;
        out.decimals = -1;
        return true;
    default: return false;
    }
}

// %D0% to %D9% (decimals), %P0% to %P9% (page break).
bool ApplyLetterAndDigit(char a, int digit, CellConstructs& out) {
    if (a == 'D') {
        out.decimals = digit;
        out.floating = false;
        return true;
    }
    if (a == 'P') {
        out.page_break = digit;
        return true;
    }
    return false;
}

// %LCR%, %P10% and longer page breaks.
bool ApplyLonger(std::string_view code, CellConstructs& out) {
    if (code == "LCR") {
        out.align = CellAlign::LeftCentreRight;
        return true;
    }
    if (code[0] == 'P' && IsDigits(code.substr(1))) {
        out.page_break = SmallNumber(code.substr(1));
        return true;
    }
    return false;
}

// Applies one code (the text between the two "%") to `out`; false when it
// is not one of the cell constructs. Decided on length and letters: every
// cell of a spreadsheet passes through here.
bool Apply(std::string_view code, CellConstructs& out) {
    switch (code.size()) {
    case 0: return false;
    case 1: return ApplyOneLetter(code[0], out);
    case 2:
        if (code[1] >= '0' && code[1] <= '9') return ApplyLetterAndDigit(code[0], code[1] - '0', out);
        return ApplyTwoLetters(code[0], code[1], out);
    default: return ApplyLonger(code, out);
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

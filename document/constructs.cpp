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
// is not one of the cell constructs.
bool Apply(std::string_view code, CellConstructs& out) {
    struct Named { std::string_view name; CellAlign align; };
    static constexpr Named kAligns[] = {
        {"L", CellAlign::Left},          {"R", CellAlign::Right},       {"C", CellAlign::Centre},
        {"LCR", CellAlign::LeftCentreRight}, {"F", CellAlign::Free},
        {"JL", CellAlign::JustifyLeft},  {"JR", CellAlign::JustifyRight},
    };
    for (const Named& a : kAligns) {
        if (code == a.name) {
            out.align = a.align;
            return true;
        }
    }
    if (code == "V") out.is_number = true;
    else if (code == "DF") out.floating = true;
    else if (code == "B") out.brackets = true;
    else if (code == "LC") out.leading = true;
    else if (code == "TC") out.trailing = true;
    else if (code.size() == 2 && code[0] == 'D' && IsDigits(code.substr(1))) {
        out.decimals = code[1] - '0';
        out.floating = false;
    } else if (code.size() >= 2 && code[0] == 'P' && IsDigits(code.substr(1))) {
        out.page_break = SmallNumber(code.substr(1));
    } else {
        return false;
    }
    if (code == "DF") out.decimals = -1;
    return true;
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

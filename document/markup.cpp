#include "document/markup.h"

namespace tw {

const ByteScanner& MarkupStarts() {
    static const ByteScanner scanner(kMarkupStarts);
    return scanner;
}

bool HasMarkup(std::string_view text) { return MarkupStarts().AnyIn(text); }

bool HighlightOfCode(std::string_view code, Highlight& h) {
    if (code.size() != 4 || code[0] != '%' || code[1] != 'H' || code[3] != '%') return false;
    switch (code[2]) {
    case '1': h = Highlight::Underline; return true;
    case '2': h = Highlight::Bold; return true;
    case '4': h = Highlight::Italic; return true;
    case '5': h = Highlight::Subscript; return true;
    case '6': h = Highlight::Superscript; return true;
    default: return false;
    }
}

long long FieldPass(std::string_view text, const FieldForms& forms, std::string& out) {
    long long change = 0;
    std::size_t i = 0, n = text.size();
    for (;;) {
        std::size_t a = FindByte(text, '@', i);
        std::size_t b = a == std::string_view::npos ? a : FindByte(text, '@', a + 1);
        if (b == std::string_view::npos) {
            out.append(text.substr(i));
            return change;
        }
        out.append(text.substr(i, a - i));
        std::string_view code = text.substr(a, b - a + 1);
        auto len = static_cast<long long>(code.size());
        if (code == "@P@") {
            out.append(forms.page);
            change += forms.page_width - len;
        } else if (code == "@D@") {
            out.append(forms.date);
            change += forms.date_width - len;
        } else if (code == "@T@") {
            out.append(forms.title);
            change += forms.title_width - len;
        } else if (code == "@@") {
            out.push_back('@');
            change += 1 - len;
        } else {
            out.append(code);
        }
        i = b + 1;
        while (i < n && text[i] == '@') {
            ++i;
            --change;
        }
    }
}

ControlResult ControlPass(std::string_view text, LonePercent lone, ControlSink& sink) {
    return ControlPassTo(text, lone, sink);
}

HeaderParts SplitHeaderLine(std::string_view text) {
    HeaderParts parts;
    if (text.empty()) return parts;
    char delimiter = text[0];
    std::string_view rest = text.substr(1);
    for (std::string_view* part : {&parts.left, &parts.centre, &parts.right}) {
        std::size_t d = rest.find(delimiter);
        *part = rest.substr(0, d);
        if (d == std::string_view::npos) break;
        rest = rest.substr(d + 1);
    }
    return parts;
}

}  // namespace tw

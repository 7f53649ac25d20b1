#include "export/markup_writer.h"

#include <algorithm>

#include "document/report.h"
#include "document/text.h"

namespace tw {

namespace {

// The bytes each writer's escape pass changes: HTML's markup characters,
// the control characters but tab, CR and LF, and 127 up; RTF's control
// characters and 8-bit bytes.
ByteTable HtmlEscapeSet() {
    ByteTable t = TableOf("&<>\"");
    for (int c = 0; c < 256; ++c) {
        if ((c < 32 && c != '\t' && c != '\n' && c != '\r') || c >= 127) t[static_cast<std::size_t>(c)] = true;
    }
    return t;
}

ByteTable RtfEscapeSet() {
    ByteTable t = TableOf("\\{}");
    for (int c = 128; c < 256; ++c) t[static_cast<std::size_t>(c)] = true;
    return t;
}

ByteTable WithMarkup(ByteTable t) {
    for (std::size_t c = 0; c < t.size(); ++c) t[c] = t[c] || kMarkupStarts[c];
    return t;
}

// Each escape set, and the scan for a byte that needs any work (escaping
// or markup) made from the same set.
struct EscapeTables {
    ByteTable html = HtmlEscapeSet();
    ByteTable rtf = RtfEscapeSet();
    ByteScanner special_html{WithMarkup(html)};
    ByteScanner special_rtf{WithMarkup(rtf)};
};

const EscapeTables& Tables() {
    static const EscapeTables t;
    return t;
}

bool AnyHtmlSpecial(std::string_view text) { return Tables().special_html.AnyIn(text); }
bool AnyRtfSpecial(std::string_view text) { return Tables().special_rtf.AnyIn(text); }

// The character a byte stands for on screen and paper (Windows-1252);
// 0 for the five bytes the code page leaves undefined.
char32_t Cp1252ToUnicode(unsigned char c) {
    static const char16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    if (c >= 128 && c < 160) return high[c - 128];
    return c;
}

class LineBufSink : public ControlSink {
public:
    LineBufSink(std::string& buf, const WriterForms& forms) : buf_(buf), forms_(forms) {}
    void Text(std::string_view t) override { buf_.append(t); }
    void Toggle(Highlight h, bool on) override {
        auto i = static_cast<std::size_t>(h);
        buf_.append(on ? forms_.on[i] : forms_.off[i]);
    }

private:
    std::string& buf_;
    const WriterForms& forms_;
};

}  // namespace

void EscapeHtml(std::string_view in, std::string& out) {
    const ByteTable& needs = Tables().html;
    for (char ch : in) {
        auto c = static_cast<unsigned char>(ch);
        if (!needs[c]) {
            out.push_back(ch);
        } else if (c == '&') {
            out.append("&amp;");
        } else if (c == '<') {
            out.append("&lt;");
        } else if (c == '>') {
            out.append("&gt;");
        } else if (c == '"') {
            out.append("&quot;");
        } else if (char32_t u = Cp1252ToUnicode(c); u != 0 && c >= 128) {
            // Ended by ";" so a digit that follows is not read into it.
            out.append("&#").append(std::to_string(static_cast<unsigned long>(u))).push_back(';');
        }
        // The remaining control characters, 127, and the five bytes that
        // Windows-1252 leaves undefined are dropped.
    }
}

void EscapeRtf(std::string_view in, std::string& out) {
    static const char hex[] = "0123456789ABCDEF";
    const ByteTable& needs = Tables().rtf;
    for (char ch : in) {
        auto c = static_cast<unsigned char>(ch);
        if (!needs[c]) {
            out.push_back(ch);
        } else if (c == 160) {
            out.append("\\~");
        } else if (c > 127) {
            out.append("\\'");
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back('\\');
            out.push_back(ch);
        }
    }
}

const WriterForms& HtmlForms() {
    static const WriterForms f{
        "WriteCellHTML", EscapeHtml, Tables().html.data(), AnyHtmlSpecial, "@P@", [](const std::string&) {
            return std::string("@D@");
        }, false, 3, 3,
        {"<u>", "<b>", "<i>", "<sub>", "<sup>"}, {"</u>", "</b>", "</i>", "</sub>", "</sup>"},
    };
    return f;
}

namespace {

// Fields that word processors update: the page number, and today's date
// with the date as its result, which readers that do not update the field
// show as it stands. "@D@" counts as long as the date "Sunday 24 January
// 1988".
std::string RtfDateField(const std::string& long_date) {
    std::string f = "{\\field{\\*\\fldinst DATE \\\\@ \"dddd, d MMMM yyyy\"}{\\fldrslt ";
    EscapeRtf(long_date, f);
    return f + "}}";
}

}  // namespace

const WriterForms& RtfForms() {
    static const WriterForms f{
        "WriteCellRTF", EscapeRtf, Tables().rtf.data(), AnyRtfSpecial, "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}",
        RtfDateField, true, 1, 22,
        {"\\ul ", "\\b ", "\\i ", "\\dn ", "\\up "}, {"\\ul0 ", "\\b0 ", "\\i0 ", "\\dn0 ", "\\up0 "},
    };
    return f;
}

MarkupCellWriter::MarkupCellWriter(Platform& sys, const WriterForms& forms, std::string_view title)
    : sys_(sys), forms_(forms) {
    forms.escape(title, title_);
    date_ = forms.date(forms.date_needs_today ? sys.process.LongDate() : std::string());
    fields_ = FieldForms{forms.page, date_, title_, forms.page_width, forms.date_width,
                         static_cast<long long>(title.size())};
}

long long MarkupCellWriter::Convert(std::string_view text, std::string& LineBuf) {
    auto width = static_cast<long long>(text.size());
    if (!forms_.any_special(text)) {
        LineBuf.append(text);
        return width;
    }
    bool needs_escape = false, has_field = false, has_code = false;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        needs_escape |= forms_.needs_escape[c];
        has_field |= c == '@';
        has_code |= c == '%';
    }
    std::string_view work = text;
    if (needs_escape) {
        escaped_.clear();
        forms_.escape(text, escaped_);
        work = escaped_;
    }
    if (has_field) {
        expanded_.clear();
        width += FieldPass(work, fields_, expanded_);
        work = expanded_;
        has_code = work.find('%') != std::string_view::npos;
    }
    if (!has_code) {
        LineBuf.append(work);
        return width;
    }
    LineBufSink sink(LineBuf, forms_);
    ControlResult r = ControlPass(work, LonePercent::Drop, sink);
    width += r.width_change;
    for (Highlight h : kCloseOrder) {
        if (r.open[static_cast<std::size_t>(h)]) LineBuf.append(forms_.off[static_cast<std::size_t>(h)]);
    }
    return width;
}

long long MarkupCellWriter::Write(std::string_view text, std::string& LineBuf) {
    long long width = 0;
    std::size_t start = LineBuf.size();
    Trap trap(sys_, forms_.procedure, ReportFamily::A);
    trap.LogWithTimestamp();
    trap.Run([&] {
        trap.Step([&] {
            LineBuf.resize(start);  // a retried cell starts afresh
            width = Convert(text, LineBuf);
        });
    });
    return width;
}

}  // namespace tw

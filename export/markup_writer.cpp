#include "export/markup_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// What the escape pass puts in place of one byte of its set.
std::string HtmlFormOf(unsigned char c);
std::string RtfFormOf(unsigned char c);

// A byte's escaped form, kept in a fixed room so it is copied in one move.
constexpr std::size_t kFormRoom = 8;
struct Form {
    std::array<char, kFormRoom> bytes{};
    std::size_t size = 0;
};
// Each byte's form: itself when the escape pass leaves it alone.
using Forms = std::array<Form, 256>;

Forms FormsOf(const ByteTable& set, std::string (*form_of)(unsigned char)) {
    Forms forms;
    for (std::size_t c = 0; c < set.size(); ++c) {
        std::string f = set[c] ? form_of(static_cast<unsigned char>(c)) : std::string(1, static_cast<char>(c));
        if (f.size() > kFormRoom) std::abort();  // the forms are fixed, and all fit
        std::copy(f.begin(), f.end(), forms[c].bytes.begin());
        forms[c].size = f.size();
    }
    return forms;
}

// Each escape set with the form of each byte, and the scan for a byte
// that needs any work (escaping or markup) made from the same set.
struct EscapeTables {
    ByteTable html = HtmlEscapeSet();
    ByteTable rtf = RtfEscapeSet();
    ByteScanner special_html{WithMarkup(html)};
    ByteScanner special_rtf{WithMarkup(rtf)};
    Forms html_forms = FormsOf(html, HtmlFormOf);
    Forms rtf_forms = FormsOf(rtf, RtfFormOf);
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

std::string HtmlFormOf(unsigned char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: break;
    }
    // Ended by ";" so a digit that follows is not read into it.
    if (char32_t u = Cp1252ToUnicode(c); u != 0 && c >= 128) {
        return "&#" + std::to_string(static_cast<unsigned long>(u)) + ";";
    }
    // The remaining control characters, 127, and the five bytes that
    // Windows-1252 leaves undefined are dropped.
    return "";
}

std::string RtfFormOf(unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    if (c == 160) return "\\~";
    if (c > 127) return {'\\', '\'', hex[c >> 4], hex[c & 15]};
    return {'\\', static_cast<char>(c)};
}

// Copies `in` to `out` with each byte replaced by its form: a piece at a
// time built on the stack, then appended whole, since cells are short and
// appending each form on its own would cost more than building it.
void EscapeWith(const Forms& forms, std::string_view in, std::string& out) {
    constexpr std::size_t kPiece = 64;
    char buf[kPiece * kFormRoom];
    for (std::size_t i = 0; i < in.size();) {
        std::size_t end = std::min(in.size(), i + kPiece);
        char* d = buf;
        for (; i < end; ++i) {
            const Form& f = forms[static_cast<unsigned char>(in[i])];
            std::memcpy(d, f.bytes.data(), kFormRoom);
            d += f.size;
        }
        out.append(buf, static_cast<std::size_t>(d - buf));
    }
}

class LineBufSink final : public ControlSink {
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

void EscapeHtml(std::string_view in, std::string& out) { EscapeWith(Tables().html_forms, in, out); }

void EscapeRtf(std::string_view in, std::string& out) { EscapeWith(Tables().rtf_forms, in, out); }

const WriterForms& HtmlForms() {
    static const WriterForms f{
        "WriteCellHTML",
        EscapeHtml,
        Tables().html.data(),
        AnyHtmlSpecial,
        "@P@",
        [](const std::string&) { return std::string("@D@"); },
        false,
        3,
        3,
        {"<u>", "<b>", "<i>", "<sub>", "<sup>"},
        {"</u>", "</b>", "</i>", "</sub>", "</sup>"},
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
        "WriteCellRTF",
        EscapeRtf,
        Tables().rtf.data(),
        AnyRtfSpecial,
        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}",
        RtfDateField,
        true,
        1,
        22,
        {"\\ul ", "\\b ", "\\i ", "\\dn ", "\\up "},
        {"\\ul0 ", "\\b0 ", "\\i0 ", "\\dn0 ", "\\up0 "},
    };
    return f;
}

MarkupCellWriter::MarkupCellWriter(Platform& sys, const WriterForms& forms, std::string_view title)
    : sys_(sys), forms_(forms) {
    forms.escape(title, title_);
    date_ = forms.date(forms.date_needs_today ? sys.process.LongDate() : std::string());
    fields_ =
        FieldForms{forms.page, date_, title_, forms.page_width, forms.date_width, static_cast<long long>(title.size())};
    for (std::size_t c = 0; c < kinds_.size(); ++c) {
        kinds_[c] = static_cast<unsigned char>((forms.needs_escape[c] ? kEscapes : 0) | (c == '@' ? kField : 0) |
                                               (c == '%' ? kCode : 0));
    }
}

MarkupCellWriter::MarkupCellWriter(const MarkupCellWriter& other)
    : sys_(other.sys_),
      forms_(other.forms_),
      kinds_(other.kinds_),
      reports_(other.reports_),
      title_(other.title_),
      date_(other.date_),
      fields_(other.fields_) {
    // The fields point at this writer's own title and date.
    fields_.title = title_;
    fields_.date = date_;
}

MarkupCellWriter MarkupCellWriter::Unattended() const {
    MarkupCellWriter copy(*this);
    copy.reports_ = false;
    return copy;
}

long long MarkupCellWriter::Convert(std::string_view text, std::string& LineBuf) {
    auto width = static_cast<long long>(text.size());
    converted_ = false;
    // A long cell is first scanned a block at a time for any work at all.
    if (text.size() >= 16 && !forms_.any_special(text)) {
        LineBuf.append(text);
        return width;
    }
    unsigned kinds = 0;
    for (char ch : text) kinds |= kinds_[static_cast<unsigned char>(ch)];
    if (kinds == 0) {
        LineBuf.append(text);
        return width;
    }
    converted_ = true;
    if (kinds == kEscapes) {
        forms_.escape(text, LineBuf);
        return width;
    }
    std::string_view work = text;
    if (kinds & kEscapes) {
        escaped_.clear();
        forms_.escape(text, escaped_);
        work = escaped_;
    }
    bool has_code = (kinds & kCode) != 0;
    if (kinds & kField) {
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
    ControlResult r = ControlPassTo(work, LonePercent::Drop, sink);
    width += r.width_change;
    for (Highlight h : kCloseOrder) {
        if (r.open[static_cast<std::size_t>(h)]) LineBuf.append(forms_.off[static_cast<std::size_t>(h)]);
    }
    return width;
}

long long MarkupCellWriter::WriteAfterFailure(std::string_view text, std::string& LineBuf, std::size_t start,
                                              const VbError& failure) {
    long long width = 0;
    bool first_run = true;
    Trap trap(sys_, forms_.procedure, ReportFamily::A);
    trap.LogWithTimestamp();
    trap.Run([&] {
        trap.Step([&] {
            if (first_run) {
                first_run = false;
                throw failure;
            }
            LineBuf.resize(start);  // a retried cell starts afresh
            width = Convert(text, LineBuf);
        });
    });
    return width;
}

}  // namespace tw

#include "export/ods_export.h"

#include <array>
#include <charconv>
#include <cstring>
#include <exception>
#include <functional>
#include <libxml/parser.h>
#include <libxml/xmlwriter.h>
#include <memory>
#include <new>
#include <span>
#include <unistd.h>
#include <zip.h>

#include "document/markup.h"
#include "export/csv_export.h"
#include "export/sheet_cells.h"
#include "export/sheet_rows.h"
#include "platform/atomic_output.h"
#include "platform/errors.h"

namespace tw {

namespace {

constexpr const char* kMime = "application/vnd.oasis.opendocument.spreadsheet";

// Whether XML 1.0 can carry the byte: controls other than tab and line
// feed are left out.
bool XmlCarries(char c) { return static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n'; }

std::string XmlSafe(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (XmlCarries(c)) out += c;
    }
    return out;
}

// A libxml2 writer appending to a string, remembering whether any call
// failed.
class Xml {
public:
    // A document, or with `document` false a run of elements to stand in
    // one.
    explicit Xml(std::string& out, bool document = true) : out_(&out) {
        xmlOutputBufferPtr buf = xmlOutputBufferCreateIO(Append, nullptr, &out_, nullptr);
        w_ = buf ? xmlNewTextWriter(buf) : nullptr;
        ok_ = w_ && (!document || xmlTextWriterStartDocument(w_, "1.0", "UTF-8", nullptr) >= 0);
    }
    ~Xml() {
        if (w_) xmlFreeTextWriter(w_);
    }
    Xml(const Xml&) = delete;
    Xml& operator=(const Xml&) = delete;

    bool Ok() const { return ok_; }
    // What was written so far to its string; what follows to `out`.
    void Into(std::string& out) {
        Check(xmlTextWriterFlush(w_));
        out_ = &out;
    }
    // Elements written elsewhere, standing here as they are.
    void Elements(std::string_view xml) {
        Check(xmlTextWriterWriteRawLen(w_, Cast(xml.data()), static_cast<int>(xml.size())));
    }
    void Start(const char* name) { Check(xmlTextWriterStartElement(w_, Cast(name))); }
    void End() { Check(xmlTextWriterEndElement(w_)); }
    // An attribute whose value is `prefix` then `value`.
    void Attr(const char* name, std::string_view value, std::string_view prefix = {}) {
        if (IsInert(prefix) && IsInert(value)) {
            Check(xmlTextWriterStartAttribute(w_, Cast(name)));
            Raw(prefix);
            Raw(value);
            Check(xmlTextWriterEndAttribute(w_));
            return;
        }
        scratch_.assign(prefix);
        for (char c : value) {
            if (XmlCarries(c)) scratch_ += c;
        }
        Check(xmlTextWriterWriteAttribute(w_, Cast(name), Cast(scratch_.c_str())));
    }
    void Attr(const char* name, long long n) {
        char buf[24];
        Attr(name, std::string_view(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, n).ptr - buf)));
    }
    void Text(std::string_view text) {
        if (IsInert(text)) {
            // Ends an open start tag, as writing a string does.
            Check(xmlTextWriterWriteRawLen(w_, Cast(text.data()), static_cast<int>(text.size())));
            return;
        }
        scratch_.assign(text);
        Check(xmlTextWriterWriteString(w_, Cast(scratch_.c_str())));
    }
    // An element with attributes given as name, value pairs and no content.
    void Empty(const char* name, std::initializer_list<std::pair<const char*, std::string_view>> attrs = {}) {
        Start(name);
        for (const auto& [n, v] : attrs) Attr(n, v);
        End();
    }
    // Text inside a paragraph: runs of blanks, blanks at either end and
    // tabs spelt out, as ODF collapses them otherwise.
    void Para(std::string_view text) {
        if (IsPlain(text)) {
            if (!text.empty()) Text(text);
            return;
        }
        std::string plain;
        auto flush = [&] {
            if (!plain.empty()) Text(plain);
            plain.clear();
        };
        for (std::size_t i = 0; i < text.size();) {
            char c = text[i];
            if (c == ' ') {
                std::size_t j = i;
                while (j < text.size() && text[j] == ' ') ++j;
                std::size_t n = j - i;
                if (i > 0 && j < text.size() && n == 1) {
                    plain += ' ';
                } else {
                    flush();
                    Start("text:s");
                    if (n > 1) Attr("text:c", static_cast<long long>(n));
                    End();
                }
                i = j;
            } else if (c == '\t') {
                flush();
                Empty("text:tab");
                ++i;
            } else {
                if (static_cast<unsigned char>(c) >= 0x20) plain += c;
                ++i;
            }
        }
        flush();
    }
    bool Finish() {
        if (!w_) return false;
        Check(xmlTextWriterEndDocument(w_));
        Check(xmlTextWriterFlush(w_));
        xmlFreeTextWriter(w_);
        w_ = nullptr;
        return ok_;
    }

private:
    static const xmlChar* Cast(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
    // Text libxml2 would write as it stands, in attribute values and in
    // content alike: printable ASCII with no markup or quote. Writing it
    // raw spares libxml2's copy for escaping.
    static bool IsInert(std::string_view text) {
        for (char c : text) {
            if (c < 0x20 || c > 0x7E || c == '<' || c == '>' || c == '&' || c == '"') return false;
        }
        return true;
    }
    void Raw(std::string_view text) {
        if (!text.empty()) Check(xmlTextWriterWriteRawLen(w_, Cast(text.data()), static_cast<int>(text.size())));
    }
    static int Append(void* out, const char* bytes, int n) {
        (*static_cast<std::string**>(out))->append(bytes, static_cast<std::size_t>(n));
        return n;
    }
    // Text Para writes as it stands: no blank at either end or beside
    // another, no tab or other control.
    static bool IsPlain(std::string_view text) {
        if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (static_cast<unsigned char>(text[i]) < 0x20 || (text[i] == ' ' && text[i + 1] == ' ')) return false;
        }
        return true;
    }
    void Check(int rc) { ok_ = ok_ && w_ && rc >= 0; }
    std::string* out_;
    xmlTextWriterPtr w_ = nullptr;
    bool ok_ = false;
    std::string scratch_;  // a value with the terminating zero libxml2 wants
};

const std::array<std::pair<const char*, const char*>, 11> kNamespaces = {{
    {"xmlns:office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
    {"xmlns:style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
    {"xmlns:text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
    {"xmlns:table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
    {"xmlns:number", "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"},
    {"xmlns:fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
    {"xmlns:of", "urn:oasis:names:tc:opendocument:xmlns:of:1.2"},
    {"xmlns:dc", "http://purl.org/dc/elements/1.1/"},
    {"xmlns:meta", "urn:oasis:names:tc:opendocument:xmlns:meta:1.0"},
    {"xmlns:calcext", "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0"},
    {"xmlns:xlink", "http://www.w3.org/1999/xlink"},
}};

void Root(Xml& x, const char* name) {
    x.Start(name);
    for (const auto& [n, v] : kNamespaces) x.Attr(n, v);
    x.Attr("office:version", "1.2");
}

std::string Cm(double cm) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, cm, std::chars_format::fixed, 3);
    return std::string(buf, ec == std::errc() ? end : buf) + "cm";
}

// The text style of a run under highlights `bits`.
void TextStyle(Xml& x, unsigned bits) {
    x.Start("style:style");
    x.Attr("style:name", "T" + std::to_string(bits));
    x.Attr("style:family", "text");
    x.Start("style:text-properties");
    if (bits & (1u << static_cast<unsigned>(Highlight::Bold))) x.Attr("fo:font-weight", "bold");
    if (bits & (1u << static_cast<unsigned>(Highlight::Italic))) x.Attr("fo:font-style", "italic");
    if (bits & (1u << static_cast<unsigned>(Highlight::Underline))) {
        x.Attr("style:text-underline-style", "solid");
        x.Attr("style:text-underline-width", "auto");
        x.Attr("style:text-underline-color", "font-color");
    }
    if (bits & (1u << static_cast<unsigned>(Highlight::Superscript))) x.Attr("style:text-position", "super 58%");
    else if (bits & (1u << static_cast<unsigned>(Highlight::Subscript))) x.Attr("style:text-position", "sub 58%");
    x.End();
    x.End();
}

void NumberPart(Xml& x, const formula::NumberFormat& f) {
    x.Start("number:number");
    if (!f.floating) {
        x.Attr("number:decimal-places", f.decimals);
        x.Attr("number:min-decimal-places", f.decimals);
    }
    x.Attr("number:min-integer-digits", 1);
    if (f.thousands) x.Attr("number:grouping", "true");
    x.End();
}

// A full stop between thousands makes the decimal point a comma, as in
// German: the data style says so by its language, the only way it can.
void NumberLocale(Xml& x, const formula::NumberFormat& f) {
    if (f.thousands != '.') return;
    x.Attr("number:language", "de");
    x.Attr("number:country", "DE");
}

void Literal(Xml& x, std::string_view text) {
    if (text.empty()) return;
    x.Start("number:text");
    x.Text(Cp1252ToUtf8(text));
    x.End();
}

void DatePart(Xml& x, formula::DateStyle style) {
    auto day = [&] { x.Empty("number:day"); };
    auto month = [&](bool textual) {
        x.Start("number:month");
        if (textual) x.Attr("number:textual", "true");
        x.End();
    };
    auto year = [&] { x.Empty("number:year", {{"number:style", "long"}}); };
    auto text = [&](const char* t) {
        x.Start("number:text");
        x.Text(t);
        x.End();
    };
    switch (style) {
    case formula::DateStyle::DayMonthYear: day(), text("."), month(false), text("."), year(); break;
    case formula::DateStyle::MonthDayYear: month(false), text("."), day(), text("."), year(); break;
    case formula::DateStyle::Text: day(), text(" "), month(true), text(" "), year(); break;
    }
}

void TimePart(Xml& x) {
    x.Empty("number:hours");
    x.Start("number:text");
    x.Text(":");
    x.End();
    x.Empty("number:minutes", {{"number:style", "long"}});
    x.Start("number:text");
    x.Text(":");
    x.End();
    x.Empty("number:seconds", {{"number:style", "long"}});
}

// The data style of a look, named N<i> (and N<i>P for the positive part
// of a format that brackets negatives).
void DataStyle(Xml& x, const SheetStyle& s, int i) {
    std::string name = "N" + std::to_string(i);
    using Shows = SheetStyle::Shows;
    if (s.shows == Shows::Number) {
        if (s.format.brackets) {
            x.Start("number:number-style");
            x.Attr("style:name", name + "P");
            NumberLocale(x, s.format);
            x.Attr("style:volatile", "true");
            Literal(x, s.format.leading);
            NumberPart(x, s.format);
            Literal(x, s.format.trailing);
            x.End();
        }
        x.Start("number:number-style");
        x.Attr("style:name", name);
        NumberLocale(x, s.format);
        if (s.format.brackets) Literal(x, "(");
        Literal(x, s.format.leading);
        NumberPart(x, s.format);
        Literal(x, s.format.trailing);
        if (s.format.brackets) {
            Literal(x, ")");
            x.Empty("style:map", {{"style:condition", "value()>=0"}, {"style:apply-style-name", name + "P"}});
        }
        x.End();
    } else if (s.shows == Shows::Time) {
        x.Start("number:time-style");
        x.Attr("style:name", name);
        TimePart(x);
        x.End();
    } else if (s.shows == Shows::Date || s.shows == Shows::DateTime) {
        x.Start("number:date-style");
        x.Attr("style:name", name);
        DatePart(x, s.format.dates);
        if (s.shows == Shows::DateTime) {
            x.Start("number:text");
            x.Text(" ");
            x.End();
            TimePart(x);
        }
        x.End();
    }
}

const char* AlignText(CellAlign a) {
    switch (a) {
    case CellAlign::Left: return "start";
    case CellAlign::Right: return "end";
    case CellAlign::Centre: return "center";
    default: return nullptr;
    }
}

bool WriteStyles(std::string& out, const std::vector<SheetStyle>& styles, const DocumentModel& doc) {
    Xml x(out);
    Root(x, "office:document-styles");
    x.Start("office:styles");
    for (std::size_t i = 1; i < styles.size(); ++i) DataStyle(x, styles[i], static_cast<int>(i));
    x.Empty("style:style", {{"style:name", "Default"}, {"style:family", "table-cell"}});
    for (std::size_t i = 1; i < styles.size(); ++i) {
        const SheetStyle& s = styles[i];
        x.Start("style:style");
        x.Attr("style:name", std::to_string(i), "ce");
        x.Attr("style:family", "table-cell");
        x.Attr("style:parent-style-name", "Default");
        if (s.shows != SheetStyle::Shows::Text) x.Attr("style:data-style-name", "N" + std::to_string(i));
        if (const char* align = AlignText(s.align)) {
            x.Empty("style:table-cell-properties", {{"style:text-align-source", "fix"}});
            x.Empty("style:paragraph-properties", {{"fo:text-align", align}});
        }
        x.End();
    }
    x.End();
    // The page: the document's margins in lines and characters.
    x.Start("office:automatic-styles");
    x.Start("style:page-layout");
    x.Attr("style:name", "pm1");
    x.Start("style:page-layout-properties");
    const double line = 0.423, character = 0.212;  // 6 lines and 12 characters to the inch
    x.Attr("fo:margin-top", Cm(std::max<int>(doc.OptTM, 0) * line));
    x.Attr("fo:margin-bottom", Cm(std::max<int>(doc.OptBM, 0) * line));
    x.Attr("fo:margin-left", Cm(std::max<int>(doc.OptLM, 0) * character));
    x.Attr("fo:margin-right", Cm(1.0));
    x.End();
    x.End();
    x.End();
    x.Start("office:master-styles");
    x.Start("style:master-page");
    x.Attr("style:name", "Default");
    x.Attr("style:page-layout-name", "pm1");
    for (const auto& [element, text] : {std::pair{"style:header", &doc.OptHE}, std::pair{"style:footer", &doc.OptFO}}) {
        if (text->empty()) continue;
        x.Start(element);
        x.Start("text:p");
        // "@P@" is the page number, "@D@" the date; the rest as written.
        std::string_view rest(*text);
        while (!rest.empty()) {
            std::size_t at = rest.find('@');
            std::string_view field = at == std::string_view::npos ? std::string_view() : rest.substr(at);
            bool page = field.substr(0, 3) == "@P@", date = field.substr(0, 3) == "@D@";
            if (!page && !date) at = std::string_view::npos;
            x.Para(Cp1252ToUtf8(rest.substr(0, at)));
            if (at == std::string_view::npos) break;
            if (page) {
                x.Start("text:page-number");
                x.Text("1");
                x.End();
            } else {
                x.Start("text:date");
                x.End();
            }
            rest.remove_prefix(at + 3);
        }
        x.End();
        x.End();
    }
    x.End();
    x.End();
    x.End();
    return x.Finish();
}

bool WriteMeta(std::string& out, const DocumentModel& doc) {
    Xml x(out);
    Root(x, "office:document-meta");
    x.Start("office:meta");
    x.Start("meta:generator");
    x.Text("Tarnwick");
    x.End();
    if (!doc.OptDE.empty()) {
        x.Start("dc:title");
        x.Text(XmlSafe(Cp1252ToUtf8(doc.OptDE)));
        x.End();
    }
    x.End();
    x.End();
    return x.Finish();
}

bool WriteManifest(std::string& out) {
    Xml x(out);
    x.Start("manifest:manifest");
    x.Attr("xmlns:manifest", "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");
    x.Attr("manifest:version", "1.2");
    x.Empty("manifest:file-entry",
            {{"manifest:full-path", "/"}, {"manifest:version", "1.2"}, {"manifest:media-type", kMime}});
    for (const char* part : {"content.xml", "styles.xml", "meta.xml"}) {
        x.Empty("manifest:file-entry", {{"manifest:full-path", part}, {"manifest:media-type", "text/xml"}});
    }
    x.End();
    return x.Finish();
}

void Annotation(Xml& x, const std::string& comment) {
    x.Start("office:annotation");
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = comment.find('\n', start);
        x.Start("text:p");
        x.Para(comment.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        x.End();
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    x.End();
}

// `n` in decimal, written into `buf`.
std::string_view Digits(char (&buf)[24], long long n) {
    return {buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, n).ptr - buf)};
}

void Cell(Xml& x, const SheetCell& c) {
    char buf[24];
    x.Start("table:table-cell");
    if (c.style > 0) x.Attr("table:style-name", Digits(buf, c.style), "ce");
    // A value kept without its formula that is an error is written as the
    // error itself, which the reader shows as such.
    if (!c.formula.empty()) x.Attr("table:formula", c.formula, "of:=");
    else if (c.kind == SheetCell::Kind::Error) x.Attr("table:formula", c.text, "of:=");
    switch (c.kind) {
    case SheetCell::Kind::Number:
        x.Attr("office:value-type", "float");
        x.Attr("office:value", ShortestNumber(c.number));
        break;
    case SheetCell::Kind::Date:
        if (c.text.find('-') == std::string::npos) {
            // A time alone: hours, minutes and seconds as a duration.
            x.Attr("office:value-type", "time");
            x.Attr("office:time-value",
                   "PT" + c.text.substr(0, 2) + "H" + c.text.substr(3, 2) + "M" + c.text.substr(6, 2) + "S");
        } else {
            x.Attr("office:value-type", "date");
            x.Attr("office:date-value", c.text);
        }
        break;
    case SheetCell::Kind::Error:
        x.Attr("office:value-type", "string");
        x.Attr("office:string-value", "");
        x.Attr("calcext:value-type", "error");
        break;
    case SheetCell::Kind::Text:
        x.Attr("office:value-type", "string");
        x.Attr("calcext:value-type", "string");
        break;
    }
    if (!c.comment.empty()) Annotation(x, c.comment);
    // A number's value is its office:value, which readers format by its
    // style; a paragraph of its digits would only double the part's size.
    if (c.kind == SheetCell::Kind::Number) {
        x.End();
        return;
    }
    x.Start("text:p");
    if (!c.runs.empty()) {
        for (const TextRun& r : c.runs) {
            if (r.highlights) {
                x.Start("text:span");
                x.Attr("text:style-name", Digits(buf, r.highlights), "T");
            }
            x.Para(r.text);
            if (r.highlights) x.End();
        }
    } else {
        x.Para(c.text);
    }
    x.End();
    x.End();
}

void Repeated(Xml& x, const char* element, const char* attr, long long n) {
    if (n <= 0) return;
    x.Start(element);
    if (n > 1) x.Attr(attr, n);
    if (std::string_view(element) == "table:table-row") x.Empty("table:table-cell");
    x.End();
}

// A part of the archive written as libzip reads it, in stretches.
class Part {
public:
    Part() { zip_error_init(&error_); }
    virtual ~Part() { zip_error_fini(&error_); }
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    // The source libzip reads the part from; the part outlives it.
    zip_source_t* Source(zip_t* za) { return zip_source_function(za, Callback, this); }
    // What the part threw while libzip read it, which zip_close cannot carry.
    std::exception_ptr Thrown() const { return thrown_; }

protected:
    enum class Step { More, Ended, Failed };
    // Writes the next stretch of the part to `out_`.
    virtual Step Next() = 0;
    // The whole part's size, when it is known before it is read.
    virtual bool Size(zip_uint64_t& size) {
        (void)size;
        return false;
    }
    std::string out_;  // written and not yet read from `read_` on

private:
    static zip_int64_t Callback(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        auto* part = static_cast<Part*>(self);
        try {
            return part->Command(data, len, cmd);
        } catch (...) {
            // Nothing may be thrown through libzip; the writer throws it again.
            part->thrown_ = std::current_exception();
            zip_error_set(&part->error_, ZIP_ER_INTERNAL, 0);
            return -1;
        }
    }

    zip_int64_t Command(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE: return 0;
        case ZIP_SOURCE_READ: return Read(static_cast<char*>(data), len);
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            if (Size(st->size)) st->valid |= ZIP_STAT_SIZE;
            return sizeof *st;
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, len);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default: zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0); return -1;
        }
    }

    zip_int64_t Read(char* data, zip_uint64_t len) {
        zip_uint64_t n = 0;
        for (;;) {
            std::size_t take = std::min<std::size_t>(len - n, out_.size() - read_);
            std::memcpy(data + n, out_.data() + read_, take);
            n += take;
            read_ += take;
            if (n == len || ended_) return static_cast<zip_int64_t>(n);
            out_.clear();
            read_ = 0;
            Step step = Next();
            if (step == Step::Failed) {
                zip_error_set(&error_, ZIP_ER_WRITE, 0);
                return -1;
            }
            ended_ = step == Step::Ended;
        }
    }

    std::size_t read_ = 0;
    bool ended_ = false;
    zip_error_t error_;
    std::exception_ptr thrown_;
};

// A part written in one go when libzip first asks for it.
class WholePart final : public Part {
public:
    explicit WholePart(std::function<bool(std::string&)> write) : write_(std::move(write)) {}

private:
    bool Make() {
        if (!made_) ok_ = write_(whole_), made_ = true;
        return ok_;
    }
    Step Next() override {
        if (!Make()) return Step::Failed;
        out_ = std::move(whole_);
        return Step::Ended;
    }
    bool Size(zip_uint64_t& size) override {
        if (!Make()) return false;
        size = whole_.size();
        return true;
    }

    std::function<bool(std::string&)> write_;
    std::string whole_;
    bool made_ = false, ok_ = false;
};

// The rows of the table, a run of rows without cells as one element.
struct RowWriter {
    long long empty = 0;  // rows without cells not yet written

    void Row(Xml& x, std::span<const SheetCell> cells) {
        if (cells.empty()) {
            ++empty;
            return;
        }
        Repeated(x, "table:table-row", "table:number-rows-repeated", empty);
        empty = 0;
        x.Start("table:table-row");
        int next = 1;
        for (const SheetCell& c : cells) {
            Repeated(x, "table:table-cell", "table:number-columns-repeated", c.col - next);
            Cell(x, c);
            next = c.col + 1;
        }
        x.End();
    }
};

// Writes batches of rows on the second thread, the same way, with a
// writer of its own.
class RowRenderer {
public:
    void operator()(std::span<const std::span<const SheetCell>> rows, std::string& out) {
        auto& [idle, x] = *state_;
        if (!x) x = std::make_unique<Xml>(out, false);
        else x->Into(out);
        RowWriter writer;
        for (std::span<const SheetCell> cells : rows) writer.Row(*x, cells);
        x->Into(idle);                         // `out` is the writer's from here
        if (!x->Ok()) throw std::bad_alloc();  // all libxml2 can fail of here
    }

private:
    // The writer outlives no string it writes to.
    struct State {
        std::string idle;
        std::unique_ptr<Xml> x;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// content.xml, its rows computed ahead of the XML as libzip deflates it.
class ContentPart final : public Part {
public:
    ContentPart(SheetWalk& walk, int ahead_rows)
        : walk_(walk), x_(out_), walk_cols_(walk.Cols()), cols_(std::max(walk_cols_, 1)) {
        for (int c = 1; c <= cols_; ++c) widths_.push_back(walk.ColumnWidth(c));
        // From here until the last row only `rows_` uses the walk.
        xmlInitParser();  // before a second thread uses libxml2
        rows_ = std::make_unique<SheetRows>(walk, walk.Rows(), ahead_rows, RowRenderer());
    }

    // Once the part is read to its end: the looks its cells use.
    bool Ended() const { return ended_; }
    const std::vector<SheetStyle>& Styles() const { return styles_; }

private:
    static constexpr int kRowsAStep = 64;

    Step Next() override {
        if (row_ == 0) {
            Head();
            row_ = 1;
        } else if (row_ <= walk_.Rows()) {
            for (int last = std::min(row_ + kRowsAStep - 1, walk_.Rows()); row_ <= last;) {
                SheetRows::Rendered batch;
                if (rows_->RenderedFrom(row_, batch)) {
                    Rendered(batch);
                    row_ = batch.last + 1;
                } else {
                    rows_writer_.Row(x_, rows_->Row(row_++));
                }
            }
        } else {
            styles_ = rows_->Styles();
            rows_.reset();
            Tail();
            ended_ = x_.Finish();
            return ended_ ? Step::Ended : Step::Failed;
        }
        return x_.Ok() ? Step::More : Step::Failed;
    }

    // The column styles and the table's start.
    void Head() {
        Root(x_, "office:document-content");
        x_.Start("office:automatic-styles");
        for (int c = 1; c <= cols_; ++c) {
            int width = widths_[static_cast<std::size_t>(c - 1)];
            x_.Start("style:style");
            x_.Attr("style:name", std::to_string(c), "co");
            x_.Attr("style:family", "table-column");
            // A character of the sheet's default font is about 0.2 cm wide.
            x_.Empty("style:table-column-properties",
                     {{"style:column-width", Cm(width > 0 ? width * 0.2 + 0.1 : 2.258)}});
            x_.End();
        }
        x_.Start("style:style");
        x_.Attr("style:name", "ta1");
        x_.Attr("style:family", "table");
        x_.Attr("style:master-page-name", "Default");
        x_.Empty("style:table-properties", {{"table:display", "true"}});
        x_.End();
        for (unsigned bits = 1; bits < 32; ++bits) TextStyle(x_, bits);
        x_.End();
        x_.Start("office:body");
        x_.Start("office:spreadsheet");
        x_.Start("table:table");
        x_.Attr("table:name", walk_.Name());
        x_.Attr("table:style-name", "ta1");
        for (int c = 1; c <= cols_; ++c) {
            x_.Start("table:table-column");
            x_.Attr("table:style-name", std::to_string(c), "co");
            if (widths_[static_cast<std::size_t>(c - 1)] == 0 && c <= walk_cols_) {
                x_.Attr("table:visibility", "collapse");
            }
            x_.End();
        }
    }

    // A batch of rows the second thread wrote.
    void Rendered(const SheetRows::Rendered& batch) {
        if (batch.first_filled == 0) {
            rows_writer_.empty += batch.last - row_ + 1;
            return;
        }
        rows_writer_.empty += batch.first_filled - row_;
        Repeated(x_, "table:table-row", "table:number-rows-repeated", rows_writer_.empty);
        x_.Elements(batch.text);
        rows_writer_.empty = batch.last - batch.last_filled;
    }

    // The table's end and the names.
    void Tail() {
        if (walk_.Rows() == 0) Repeated(x_, "table:table-row", "", 1);
        x_.End();
        if (!walk_.Names().empty()) {
            std::string sheet = "$'";
            for (char ch : walk_.Name()) sheet += ch == '\'' ? std::string("''") : std::string(1, ch);
            sheet += "'";
            x_.Start("table:named-expressions");
            for (const SheetWalk::DefinedName& n : walk_.Names()) {
                std::string range = ReferenceText(n.a, n.b, Dialect::OpenFormula, true, sheet);
                range = range.substr(1, range.size() - 2);  // no brackets here
                x_.Empty("table:named-range", {{"table:name", n.name},
                                               {"table:base-cell-address", sheet + ".$A$1"},
                                               {"table:cell-range-address", range}});
            }
            x_.End();
        }
        x_.End();
        x_.End();
        x_.End();
    }

    SheetWalk& walk_;
    Xml x_;
    const int walk_cols_, cols_;
    std::vector<int> widths_;
    std::unique_ptr<SheetRows> rows_;
    int row_ = 0;
    RowWriter rows_writer_;
    bool ended_ = false;
    std::vector<SheetStyle> styles_;
};

// Adds `part` to the archive, deflated.
bool AddPart(zip_t* za, const char* name, Part& part) {
    zip_source_t* src = part.Source(za);
    if (!src) return false;
    zip_int64_t index = zip_file_add(za, name, src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(src);
        return false;
    }
    // The fastest deflate: the best one took half the time of a long sheet
    // and saves little on XML this repetitive.
    return zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1) == 0;
}

Status Failed(int number) { return Status::Failed(number, ErrorDescription(number)); }

// The four parts of the document. libzip reads them in the order they
// were added: the styles are known once every cell has been seen.
struct Parts {
    Parts(SheetWalk& walk, const DocumentModel& doc, int ahead_rows)
        : content(walk, ahead_rows),
          styles([this, &doc](std::string& out) { return content.Ended() && WriteStyles(out, content.Styles(), doc); }),
          meta([&doc](std::string& out) { return WriteMeta(out, doc); }),
          manifest([](std::string& out) { return WriteManifest(out); }) {}
    ContentPart content;
    WholePart styles, meta, manifest;
};

// The mimetype comes first and is stored as it is, so that a reader knows
// the file by its first bytes; the other parts follow, compressed.
bool AddParts(zip_t* za, Parts& parts) {
    zip_source_t* mime = zip_source_buffer(za, kMime, std::char_traits<char>::length(kMime), 0);
    if (!mime) return false;
    zip_int64_t mime_index = zip_file_add(za, "mimetype", mime, 0);
    if (mime_index < 0) {
        zip_source_free(mime);
        return false;
    }
    return zip_set_file_compression(za, static_cast<zip_uint64_t>(mime_index), ZIP_CM_STORE, 0) == 0 &&
           AddPart(za, "content.xml", parts.content) && AddPart(za, "styles.xml", parts.styles) &&
           AddPart(za, "meta.xml", parts.meta) && AddPart(za, "META-INF/manifest.xml", parts.manifest);
}

// The archive built in memory: the buffer holding it, or null with `failed`
// set. What a part threw is thrown again here.
zip_source_t* Archive(Parts& parts, Status& failed) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    if (!za) {
        if (buffer) zip_source_free(buffer);
        failed = Failed(kErrOutOfMemory);
        return nullptr;
    }
    zip_source_keep(buffer);
    if (!AddParts(za, parts) || zip_close(za) != 0) {
        zip_discard(za);
        zip_source_free(buffer);
        const Part* all[] = {&parts.content, &parts.styles, &parts.meta, &parts.manifest};
        for (const Part* part : all) {
            if (part->Thrown()) std::rethrow_exception(part->Thrown());
        }
        failed = Failed(kErrDiskFull);
        return nullptr;
    }
    return buffer;
}

// All `n` bytes at `p` to the file `fd`.
Status WriteAll(int fd, const char* p, zip_int64_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, static_cast<std::size_t>(n));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return Failed(errno == ENOSPC || errno == EFBIG ? kErrDiskFull : kErrDeviceIO);
        p += w;
        n -= w;
    }
    return Status::Done();
}

// The archive in `buffer` copied to the file `fd`; the buffer is freed.
Status CopyArchive(zip_source_t* buffer, int fd) {
    if (zip_source_open(buffer) != 0) {
        zip_source_free(buffer);
        return Failed(kErrOutOfMemory);
    }
    Status written = Status::Done();
    char chunk[65536];
    for (;;) {
        zip_int64_t n = zip_source_read(buffer, chunk, sizeof chunk);
        if (n < 0) written = Failed(kErrOutOfMemory);
        if (n <= 0) break;
        written = WriteAll(fd, chunk, n);
        if (!written.Succeeded()) break;
    }
    zip_source_close(buffer);
    zip_source_free(buffer);
    return written;
}

}  // namespace

Status WriteFileOds(const DocumentModel& doc, const std::string& path, const std::string& file_name,
                    SheetReport* report, int ahead_rows) {
    AtomicOutput out;
    try {
        out.Open(path);
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    SheetWalk walk(doc, file_name, Dialect::OpenFormula);
    Status failed;
    zip_source_t* buffer = nullptr;
    {
        Parts parts(walk, doc, ahead_rows);
        buffer = Archive(parts, failed);
    }
    if (!buffer) return failed;
    if (Status s = CopyArchive(buffer, out.Fd()); !s.Succeeded()) return s;
    return CommitWorkbook(out, walk, report);
}

}  // namespace tw

#include "export/ods_export.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <libxml/xmlwriter.h>
#include <memory>
#include <unistd.h>
#include <zip.h>

#include "document/markup.h"
#include "export/csv_export.h"
#include "export/sheet_cells.h"
#include "platform/atomic_output.h"
#include "platform/errors.h"

namespace tw {

namespace {

constexpr const char* kMime = "application/vnd.oasis.opendocument.spreadsheet";

// Bytes XML 1.0 cannot carry (controls other than tab and line feed)
// are left out.
std::string XmlSafe(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
    }
    return out;
}

// A libxml2 writer over a stdio stream, remembering whether any call failed.
class Xml {
public:
    explicit Xml(FILE* f) {
        xmlOutputBufferPtr buf = xmlOutputBufferCreateFile(f, nullptr);
        w_ = buf ? xmlNewTextWriter(buf) : nullptr;
        ok_ = w_ && xmlTextWriterStartDocument(w_, "1.0", "UTF-8", nullptr) >= 0;
    }
    ~Xml() {
        if (w_) xmlFreeTextWriter(w_);
    }
    Xml(const Xml&) = delete;
    Xml& operator=(const Xml&) = delete;

    void Start(const char* name) { Check(xmlTextWriterStartElement(w_, Cast(name))); }
    void End() { Check(xmlTextWriterEndElement(w_)); }
    void Attr(const char* name, std::string_view value) {
        std::string v = XmlSafe(value);
        Check(xmlTextWriterWriteAttribute(w_, Cast(name), Cast(v.c_str())));
    }
    void Attr(const char* name, long long n) { Attr(name, std::to_string(n)); }
    void Text(std::string_view text) {
        std::string v(text);
        Check(xmlTextWriterWriteString(w_, Cast(v.c_str())));
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
    void Check(int rc) { ok_ = ok_ && w_ && rc >= 0; }
    xmlTextWriterPtr w_ = nullptr;
    bool ok_ = false;
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
            x.Attr("style:volatile", "true");
            Literal(x, s.format.leading);
            NumberPart(x, s.format);
            Literal(x, s.format.trailing);
            x.End();
        }
        x.Start("number:number-style");
        x.Attr("style:name", name);
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

bool WriteStyles(FILE* f, const SheetWalk& walk, const DocumentModel& doc) {
    Xml x(f);
    Root(x, "office:document-styles");
    x.Start("office:styles");
    const auto& styles = walk.Styles();
    for (std::size_t i = 1; i < styles.size(); ++i) DataStyle(x, styles[i], static_cast<int>(i));
    x.Empty("style:style", {{"style:name", "Default"}, {"style:family", "table-cell"}});
    for (std::size_t i = 1; i < styles.size(); ++i) {
        const SheetStyle& s = styles[i];
        x.Start("style:style");
        x.Attr("style:name", "ce" + std::to_string(i));
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

bool WriteMeta(FILE* f, const DocumentModel& doc) {
    Xml x(f);
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

bool WriteManifest(FILE* f) {
    Xml x(f);
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

void Cell(Xml& x, const SheetCell& c) {
    x.Start("table:table-cell");
    if (c.style > 0) x.Attr("table:style-name", "ce" + std::to_string(c.style));
    // A value kept without its formula that is an error is written as the
    // error itself, which the reader shows as such.
    if (!c.formula.empty()) x.Attr("table:formula", "of:=" + c.formula);
    else if (c.kind == SheetCell::Kind::Error) x.Attr("table:formula", "of:=" + c.text);
    bool number = c.kind == SheetCell::Kind::Number;
    switch (c.kind) {
    case SheetCell::Kind::Number:
        x.Attr("office:value-type", "float");
        x.Attr("office:value", ShortestNumber(c.number));
        x.Attr("calcext:value-type", "float");
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
    x.Start("text:p");
    if (!c.runs.empty()) {
        for (const TextRun& r : c.runs) {
            if (r.highlights) {
                x.Start("text:span");
                x.Attr("text:style-name", "T" + std::to_string(r.highlights));
            }
            x.Para(r.text);
            if (r.highlights) x.End();
        }
    } else {
        x.Para(number ? ShortestNumber(c.number) : c.text);
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

bool WriteContent(FILE* f, SheetWalk& walk) {
    Xml x(f);
    Root(x, "office:document-content");
    const int cols = std::max(walk.Cols(), 1);
    x.Start("office:automatic-styles");
    for (int c = 1; c <= cols; ++c) {
        int width = walk.ColumnWidth(c);
        x.Start("style:style");
        x.Attr("style:name", "co" + std::to_string(c));
        x.Attr("style:family", "table-column");
        // A character of the sheet's default font is about 0.2 cm wide.
        x.Empty("style:table-column-properties", {{"style:column-width", Cm(width > 0 ? width * 0.2 + 0.1 : 2.258)}});
        x.End();
    }
    x.Start("style:style");
    x.Attr("style:name", "ta1");
    x.Attr("style:family", "table");
    x.Attr("style:master-page-name", "Default");
    x.Empty("style:table-properties", {{"table:display", "true"}});
    x.End();
    for (unsigned bits = 1; bits < 32; ++bits) TextStyle(x, bits);
    x.End();
    x.Start("office:body");
    x.Start("office:spreadsheet");
    x.Start("table:table");
    x.Attr("table:name", walk.Name());
    x.Attr("table:style-name", "ta1");
    for (int c = 1; c <= cols; ++c) {
        x.Start("table:table-column");
        x.Attr("table:style-name", "co" + std::to_string(c));
        if (walk.ColumnWidth(c) == 0 && c <= walk.Cols()) x.Attr("table:visibility", "collapse");
        x.End();
    }
    std::vector<SheetCell> cells;
    long long empty_rows = 0;
    for (int row = 1; row <= walk.Rows(); ++row) {
        walk.Row(row, cells);
        if (cells.empty()) {
            ++empty_rows;
            continue;
        }
        Repeated(x, "table:table-row", "table:number-rows-repeated", empty_rows);
        empty_rows = 0;
        x.Start("table:table-row");
        int next = 1;
        for (const SheetCell& c : cells) {
            Repeated(x, "table:table-cell", "table:number-columns-repeated", c.col - next);
            Cell(x, c);
            next = c.col + 1;
        }
        x.End();
    }
    if (walk.Rows() == 0) Repeated(x, "table:table-row", "", 1);
    x.End();
    if (!walk.Names().empty()) {
        std::string sheet = "$'";
        for (char ch : walk.Name()) sheet += ch == '\'' ? std::string("''") : std::string(1, ch);
        sheet += "'";
        x.Start("table:named-expressions");
        for (const SheetWalk::DefinedName& n : walk.Names()) {
            std::string range = ReferenceText(n.a, n.b, Dialect::OpenFormula, true, sheet);
            range = range.substr(1, range.size() - 2);  // no brackets here
            x.Empty("table:named-range", {{"table:name", n.name},
                                          {"table:base-cell-address", sheet + ".$A$1"},
                                          {"table:cell-range-address", range}});
        }
        x.End();
    }
    x.End();
    x.End();
    x.End();
    return x.Finish();
}

// A temporary stream libzip reads a part from once it is written.
struct TempPart {
    FILE* f = std::tmpfile();
    ~TempPart() {
        if (f) std::fclose(f);
    }
};

// Adds `part` to the archive; libzip takes over the stream.
bool AddPart(zip_t* za, const char* name, TempPart& part) {
    if (std::fflush(part.f) != 0 || std::ferror(part.f)) return false;
    std::rewind(part.f);
    zip_source_t* src = zip_source_filep_create(part.f, 0, -1, nullptr);
    if (!src) return false;
    part.f = nullptr;  // the source closes it
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

// The four parts of the document, written as the walk goes.
struct Parts {
    TempPart content, styles, meta, manifest;
};

Status WriteParts(Parts& parts, SheetWalk& walk, const DocumentModel& doc) {
    if (!parts.content.f || !parts.styles.f || !parts.meta.f || !parts.manifest.f) return Failed(kErrDiskFull);
    // The styles are known only once every cell has been seen.
    if (!WriteContent(parts.content.f, walk) || !WriteStyles(parts.styles.f, walk, doc) ||
        !WriteMeta(parts.meta.f, doc) || !WriteManifest(parts.manifest.f)) {
        return Failed(kErrDiskFull);
    }
    return Status::Done();
}

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

// The archive built in memory: the buffer holding it, or null with `failed` set.
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
                    SheetReport* report) {
    AtomicOutput out;
    try {
        out.Open(path);
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    SheetWalk walk(doc, file_name, Dialect::OpenFormula);
    Parts parts;
    if (Status s = WriteParts(parts, walk, doc); !s.Succeeded()) return s;
    Status failed;
    zip_source_t* buffer = Archive(parts, failed);
    if (!buffer) return failed;
    if (Status s = CopyArchive(buffer, out.Fd()); !s.Succeeded()) return s;
    return CommitWorkbook(out, walk, report);
}

}  // namespace tw

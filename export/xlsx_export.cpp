#include "export/xlsx_export.h"

#include <cstdio>
#include <vector>
#include <xlsxwriter.h>

#include "document/markup.h"
#include "export/csv_export.h"
#include "export/sheet_cells.h"
#include "export/sheet_rows.h"
#include "platform/atomic_output.h"
#include "platform/errors.h"

namespace tw {

namespace {

// Text in an Excel format is quoted; a quote inside cannot be.
std::string Quoted(std::string_view bytes) {
    std::string s;
    for (char c : Cp1252ToUtf8(bytes)) {
        if (c != '"') s += c;
    }
    return s.empty() ? s : "\"" + s + "\"";
}

std::string DateCode(formula::DateStyle style) {
    switch (style) {
    case formula::DateStyle::DayMonthYear: return "d.m.yyyy";
    case formula::DateStyle::MonthDayYear: return "m.d.yyyy";
    case formula::DateStyle::Text: return "d mmm yyyy";
    }
    return "d mmm yyyy";
}

// An Excel header or footer: "&" doubled, "@P@" the page, "@D@" the date.
std::string HeaderCode(std::string_view text) {
    std::string s = "&C";
    std::string utf8 = Cp1252ToUtf8(text);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.compare(i, 3, "@P@") == 0) s += "&P", i += 2;
        else if (utf8.compare(i, 3, "@D@") == 0) s += "&D", i += 2;
        else if (utf8[i] == '&') s += "&&";
        else if (static_cast<unsigned char>(utf8[i]) >= 0x20) s += utf8[i];
    }
    return s.size() > 255 ? s.substr(0, 255) : s;
}

class Book {
public:
    Book(lxw_workbook* wb, const std::vector<SheetStyle>& styles) : wb_(wb), styles_(styles) {}

    lxw_format* Format(int style) {
        if (style <= 0) return nullptr;
        if (static_cast<std::size_t>(style) >= formats_.size()) formats_.resize(static_cast<std::size_t>(style) + 1);
        lxw_format*& f = formats_[static_cast<std::size_t>(style)];
        if (f) return f;
        const SheetStyle& s = styles_[static_cast<std::size_t>(style)];
        f = workbook_add_format(wb_);
        std::string code = ExcelNumberFormat(s);
        if (code != "General") format_set_num_format(f, code.c_str());
        switch (s.align) {
        case CellAlign::Left: format_set_align(f, LXW_ALIGN_LEFT); break;
        case CellAlign::Right: format_set_align(f, LXW_ALIGN_RIGHT); break;
        case CellAlign::Centre: format_set_align(f, LXW_ALIGN_CENTER); break;
        default: break;
        }
        return f;
    }

    lxw_format* RunFormat(unsigned bits) {
        lxw_format*& f = runs_[bits & 31];
        if (f || bits == 0) return f;
        f = workbook_add_format(wb_);
        if (bits & (1u << static_cast<unsigned>(Highlight::Bold))) format_set_bold(f);
        if (bits & (1u << static_cast<unsigned>(Highlight::Italic))) format_set_italic(f);
        if (bits & (1u << static_cast<unsigned>(Highlight::Underline))) format_set_underline(f, LXW_UNDERLINE_SINGLE);
        if (bits & (1u << static_cast<unsigned>(Highlight::Superscript)))
            format_set_font_script(f, LXW_FONT_SUPERSCRIPT);
        else if (bits & (1u << static_cast<unsigned>(Highlight::Subscript)))
            format_set_font_script(f, LXW_FONT_SUBSCRIPT);
        return f;
    }

    lxw_error Cell(lxw_worksheet* ws, lxw_row_t row, const SheetCell& c) {
        auto col = static_cast<lxw_col_t>(c.col - 1);
        lxw_format* f = Format(c.style);
        lxw_error e = LXW_NO_ERROR;
        std::string formula = "=" + c.formula;
        bool live = !c.formula.empty();
        switch (c.kind) {
        case SheetCell::Kind::Number:
        case SheetCell::Kind::Date:
            e = live ? worksheet_write_formula_num(ws, row, col, formula.c_str(), f, c.number)
                     : worksheet_write_number(ws, row, col, c.number, f);
            break;
        case SheetCell::Kind::Error:
            // A value kept without its formula is the error itself.
            if (!live) formula = "=" + c.text;
            e = worksheet_write_formula_str(ws, row, col, formula.c_str(), f, c.text.c_str());
            break;
        case SheetCell::Kind::Text:
            if (live) e = worksheet_write_formula_str(ws, row, col, formula.c_str(), f, c.text.c_str());
            else if (c.runs.size() > 1) e = Rich(ws, row, col, c, f);
            else if (c.runs.size() == 1)
                e = worksheet_write_string(ws, row, col, c.text.c_str(), RunFormat(c.runs[0].highlights));
            else e = worksheet_write_string(ws, row, col, c.text.c_str(), f);
            break;
        }
        if (e == LXW_NO_ERROR && !c.comment.empty()) e = worksheet_write_comment(ws, row, col, c.comment.c_str());
        return e;
    }

private:
    lxw_error Rich(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const SheetCell& c, lxw_format* f) {
        std::vector<lxw_rich_string_tuple> parts;
        std::vector<lxw_rich_string_tuple*> list;
        for (const TextRun& r : c.runs) {
            if (r.text.empty()) continue;
            parts.push_back({RunFormat(r.highlights), const_cast<char*>(r.text.c_str())});
        }
        if (parts.size() < 2) return worksheet_write_string(ws, row, col, c.text.c_str(), f);
        for (auto& p : parts) list.push_back(&p);
        list.push_back(nullptr);
        return worksheet_write_rich_string(ws, row, col, list.data(), f);
    }

    lxw_workbook* wb_;
    const std::vector<SheetStyle>& styles_;
    std::vector<lxw_format*> formats_;
    lxw_format* runs_[32] = {};
};

Status Failed(int number) { return Status::Failed(number, ErrorDescription(number)); }

// The sheet's cells, row by row. libxlsxwriter keeps the rows in a
// temporary file whose failed writes it does not report (it would zip
// what reached the file), so the stream is checked here: false once a
// write to it failed, and the rows stop there.
bool WriteRows(lxw_workbook* wb, lxw_worksheet* ws, SheetWalk& walk, int ahead_rows) {
    // From here until the last row only `rows` uses the walk.
    const int last_row = std::min(walk.Rows(), 1048576);
    SheetRows rows(walk, last_row, ahead_rows);
    Book book(wb, rows.Styles());
    for (int row = 1; row <= last_row; ++row) {
        for (const SheetCell& c : rows.Row(row)) {
            if (c.col > 16384) continue;
            book.Cell(ws, static_cast<lxw_row_t>(row - 1), c);
        }
        if (row % 1024 == 0 && std::ferror(ws->file)) return false;
    }
    return std::fflush(ws->file) == 0 && !std::ferror(ws->file);
}

}  // namespace

std::string ExcelNumberFormat(const SheetStyle& s) {
    using Shows = SheetStyle::Shows;
    switch (s.shows) {
    case Shows::Text: return "General";
    case Shows::Date: return DateCode(s.format.dates);
    case Shows::Time: return "h:mm:ss";
    case Shows::DateTime: return DateCode(s.format.dates) + " h:mm:ss";
    case Shows::Number: break;
    }
    const formula::NumberFormat& f = s.format;
    std::string number = f.floating ? "General" : f.thousands ? "#,##0" : "0";
    if (!f.floating && f.decimals > 0) number += "." + std::string(static_cast<std::size_t>(f.decimals), '0');
    std::string code = Quoted(f.leading) + number + Quoted(f.trailing);
    if (f.brackets) code += ";(" + code + ")";
    // A full stop between thousands makes the decimal point a comma: the
    // German locale's separators, named by its locale id.
    if (f.thousands == '.') code = "[$-407]" + code;
    return code;
}

Status WriteFileXlsx(const DocumentModel& doc, const std::string& path, const std::string& file_name,
                     SheetReport* report, int ahead_rows) {
    AtomicOutput out;
    try {
        out.Open(path, AtomicOutput::Access::ByName);
    } catch (const VbError& e) {
        return Status::Failed(e);
    }
    SheetWalk walk(doc, file_name, Dialect::Excel);
    // Rows go out one by one, so a long document costs little memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(out.PathForOthers().c_str(), &options);
    if (!wb) return Failed(kErrOutOfMemory);
    lxw_worksheet* ws = workbook_add_worksheet(wb, walk.Name().c_str());
    if (!ws) ws = workbook_add_worksheet(wb, nullptr);
    for (int c = 1; c <= walk.Cols(); ++c) {
        int width = walk.ColumnWidth(c);
        lxw_row_col_options hidden = {};
        hidden.hidden = LXW_TRUE;
        auto col = static_cast<lxw_col_t>(c - 1);
        if (width > 0) worksheet_set_column(ws, col, col, width, nullptr);
        else worksheet_set_column_opt(ws, col, col, 0, nullptr, &hidden);
    }
    const double line = 1.0 / 6, character = 1.0 / 12;  // inches
    worksheet_set_margins(ws, std::max<int>(doc.OptLM, 0) * character, 0.4, std::max<int>(doc.OptTM, 0) * line,
                          std::max<int>(doc.OptBM, 0) * line);
    if (!doc.OptHE.empty()) worksheet_set_header(ws, HeaderCode(doc.OptHE).c_str());
    if (!doc.OptFO.empty()) worksheet_set_footer(ws, HeaderCode(doc.OptFO).c_str());
    const bool rows_written = WriteRows(wb, ws, walk, ahead_rows);
    for (const SheetWalk::DefinedName& n : walk.Names()) {
        std::string sheet = "'";
        for (char ch : walk.Name()) sheet += ch == '\'' ? std::string("''") : std::string(1, ch);
        sheet += "'";
        std::string target = "=" + ReferenceText(n.a, n.b, Dialect::Excel, true, sheet);
        workbook_define_name(wb, n.name.c_str(), target.c_str());
    }
    if (workbook_close(wb) != LXW_NO_ERROR || !rows_written) return Failed(kErrDiskFull);
    return CommitWorkbook(out, walk, report);
}

}  // namespace tw

#include "export/csv_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "document/cell_text.h"
#include "document/constructs.h"
#include "document/sheet_source.h"
#include "formula/evaluator.h"

namespace tw {

namespace {

// Code points of bytes 0x80 to 0x9F; the five bytes Windows-1252 leaves
// undefined stand for the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string ValueText(const formula::Value& v) {
    using formula::Value;
    switch (v.type()) {
    case Value::Type::Number: return ShortestNumber(v.number());
    case Value::Type::Date: return formula::FormatIso(v.date());
    case Value::Type::String: return Cp1252ToUtf8(v.text());
    case Value::Type::Error: return std::string(formula::ErrorName(v.error()));
    case Value::Type::Array:
        // A cell shows its array's first element.
        return v.array().items.empty() ? std::string() : ValueText(v.array().items[0]);
    case Value::Type::Blank:
    case Value::Type::Reference: return {};
    }
    return {};
}

// The fewest decimals that read back as `a` (positive), tried 0, 1, 2...
// while the scaled value is an integer a double holds exactly: then each
// try is one exact division, and only one integer can be near enough.
// Most numbers of a sheet are found here; nullptr leaves the rest to the
// general conversion, which gives the same text more slowly.
char* FewDecimals(double a, char* out) {
    constexpr double kTwo52 = 4503599627370496.0;
    double scale = 1;
    for (int k = 0; k <= 22; ++k, scale *= 10) {
        double scaled = a * scale;
        if (!(scaled < kTwo52)) return nullptr;
        // Within one of the nearest integer, which is all the checks need.
        auto near = static_cast<double>(static_cast<std::int64_t>(scaled + 0.5));
        for (double m : {near, near - 1, near + 1}) {
            if (m < 0 || m / scale != a) continue;
            auto digits = static_cast<std::uint64_t>(m);
            char text[24];
            char* end = std::to_chars(text, text + sizeof text, digits).ptr;
            auto len = static_cast<int>(end - text);
            if (len <= k) {
                // 0.0…: zeros between the point and the digits.
                std::memcpy(out, "0.", 2);
                std::memset(out + 2, '0', static_cast<std::size_t>(k - len));
                std::memcpy(out + 2 + (k - len), text, static_cast<std::size_t>(len));
                return out + 2 + k;
            }
            std::memcpy(out, text, static_cast<std::size_t>(len - k));
            if (k == 0) return out + len;
            out[len - k] = '.';
            std::memcpy(out + len - k + 1, text + len - k, static_cast<std::size_t>(k));
            return out + len + 1;
        }
    }
    return nullptr;
}

}  // namespace

std::string ShortestNumber(double value) {
    if (value == 0.0) return "0";  // no "-0"
    char fast[48];
    char* p = fast;
    if (value < 0) *p++ = '-';
    if (std::fabs(value) >= 1e-4)
        if (char* end = FewDecimals(std::fabs(value), p)) return std::string(fast, end);
    // Plain digits for ordinary sizes (200000, not 2e+05), E notation
    // beyond them; either way the fewest digits that read back exactly.
    char buf[400];
    double a = value < 0 ? -value : value;
    auto form = a >= 1e-4 && a < 1e16 ? std::chars_format::fixed : std::chars_format::scientific;
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, form);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) out.push_back(ch);
        else if (c <= 0x9F) AppendUtf8(kHigh[c - 0x80], out);
        else AppendUtf8(c, out);
    }
    return out;
}

std::string CsvField(std::string_view text) {
    auto special = [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; };
    if (std::none_of(text.begin(), text.end(), special)) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void WriteCsv(const DocumentModel& doc, Sink& out, Trap* trap) {
    formula::DocumentSource source(doc);
    formula::Evaluator eval(source);
    RowReader cells(doc.Cells, doc.NumCols);
    // Each column stands at its name's place: A first, a B the document
    // lacks as an empty field.
    const int fields = source.Cols();
    std::string line;
    for (int row = 1; row <= doc.NumRows; ++row) {
        RunStep(trap, kWriterRow, [&] {
            line.clear();
            for (int field = 1; field <= fields; ++field) {
                int col = source.ModelColumn(field);
                std::string_view raw = col > 0 ? cells.Cell(col, row) : std::string_view();
                if (!raw.empty()) {
                    // Only a number cell needs the engine; a text cell is its plain text.
                    // The usual number cell's formula is handed to the engine as read here.
                    std::string text;
                    if (IsPlainNumberCell(raw)) {
                        formula::CellInput in{formula::CellInput::Kind::Formula, std::string(raw.substr(3))};
                        text = ValueText(eval.CellValue(field, row, &in));
                    } else if (IsNumberCell(raw)) {
                        text = ValueText(eval.CellValue(field, row));
                    } else {
                        text = Cp1252ToUtf8(CellToText(raw));
                    }
                    line.append(CsvField(text));
                }
                if (field != fields) line.push_back(',');
            }
            line.append("\r\n");
            out.Write(line);
        });
    }
}

Status WriteFileCsv(Platform& sys, const DocumentModel& doc, const std::string& path) {
    return WriteFileUnderTrap(sys, "WriteFileCsv", path, [&](Sink& sink, Trap& trap) { WriteCsv(doc, sink, &trap); });
}

}  // namespace tw

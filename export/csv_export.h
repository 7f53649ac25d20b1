// Comma-separated values: the value of every cell, one line per row.
#pragma once

#include <string>
#include <string_view>

#include "document/model.h"
#include "export/sink.h"

namespace tw {

// The shortest text that reads back as the same double, with "." as the
// decimal point and no thousands separator ("0.1", "1e+20", "-3").
std::string ShortestNumber(double value);

// Windows-1252 bytes as UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

// A field quoted where it has to be: text holding a comma, a double quote,
// CR or LF goes between double quotes, its quotes doubled.
std::string CsvField(std::string_view text);

// The whole document as CSV (UTF-8, lines ended by CR LF), one field per
// column up to NumCols: a number cell its computed value (a date in ISO
// form, an error by its name), a text cell its plain text.
void WriteCsv(const DocumentModel& doc, Sink& out, Trap* trap = nullptr);

// Writes the CSV to `path`, reporting failures as "WriteFileCsv"; says
// what happened.
Status WriteFileCsv(Platform& sys, const DocumentModel& doc, const std::string& path);

}  // namespace tw

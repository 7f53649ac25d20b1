// Office Open XML workbooks: a PipeDream document as one sheet of an
// .xlsx file whose formulas stay live, with the computed values cached.
#pragma once

#include <string>

#include "document/model.h"
#include "document/status.h"
#include "export/ods_export.h"

namespace tw {

// Writes `doc` to `path` (replaced only once complete). `file_name` names
// the sheet when the document has no title. Rows are computed ahead on a
// second thread in batches of `ahead_rows` (0: on this thread alone).
Status WriteFileXlsx(const DocumentModel& doc, const std::string& path, const std::string& file_name,
                     SheetReport* report = nullptr, int ahead_rows = DefaultAheadRows());

// The Excel number format of a look: "#,##0.00", "0.00;(0.00)",
// "d mmm yyyy" ...; "General" for text and floating numbers.
std::string ExcelNumberFormat(const struct SheetStyle& style);

}  // namespace tw

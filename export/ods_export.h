// OpenDocument spreadsheets: a PipeDream document as one sheet of an .ods
// file whose formulas stay live, with the computed values cached.
#pragma once

#include <string>

#include "document/model.h"
#include "document/status.h"
#include "export/rows_ahead.h"

namespace tw {

// What a workbook writer says of the document it wrote.
struct SheetReport {
    int frozen = 0;           // formulas written as values only
    std::string frozen_text;  // why, one line; empty when none
};

// Writes `doc` to `path` (replaced only once complete). `file_name` names
// the sheet when the document has no title. Rows are computed ahead on a
// second thread in batches of `ahead_rows` (0: on this thread alone).
Status WriteFileOds(const DocumentModel& doc, const std::string& path, const std::string& file_name,
                    SheetReport* report = nullptr, int ahead_rows = DefaultAheadRows());

}  // namespace tw

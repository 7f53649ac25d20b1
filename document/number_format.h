// A number cell's format, from the document's options and the cell's own
// codes: the join of the document model to the engine's NumberFormat, on
// the document's side of it (in the engine's namespace, beside it).
#pragma once

#include <string_view>

#include "document/constructs.h"
#include "document/model.h"
#include "formula/format.h"

namespace tw::formula {

// The separator a TH option value asks for: "0" none, "1" a comma, "2" a
// full stop (the decimal point then a comma), "3" a space, or the
// character itself; 0 for none.
char ThousandsSeparator(std::string_view th);

// The document's default format: DP (a number or "F"), MB ("B" brackets),
// TH, DF; no leading or trailing characters.
NumberFormat DocumentNumberFormat(const DocumentModel& doc);

// A cell's format: its own %Dn% %DF% %B% over the default, and with
// %LC% and %TC% the document's LP and TP characters.
NumberFormat CellNumberFormat(const DocumentModel& doc, const CellConstructs& cell);
NumberFormat CellNumberFormat(const NumberFormat& defaults, const DocumentModel& doc, const CellConstructs& cell);

}  // namespace tw::formula

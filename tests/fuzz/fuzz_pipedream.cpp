// The reader on arbitrary bytes, then the PipeDream layout: every cell as
// the window draws it (placeholders first, then computed in slices) and as
// the writers take it, the text writer in that layout, and the CSV of the
// values.
#include "document/layouts.h"
#include "export/csv_export.h"
#include "export/text_export.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::fuzz::Harness h;
    h.Load(data, size);
    auto cells = tw::MakeShownCells(h.doc, tw::Layout::PipeDream, {"fuzz.pd", "12:00"});
    int rows = std::min(h.doc.NumRows, 200);
    cells->SetDeferred(true);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= h.doc.NumCols; ++c) (void)cells->Marked(c, r);
    cells->SetDeferred(false);
    int slices = 0;
    while (!cells->ComputeWaiting(std::chrono::steady_clock::now()) && ++slices < 1000000) {
    }
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= h.doc.NumCols; ++c) {
            (void)cells->Marked(c, r);
            (void)cells->Unpadded(c, r);
        }
    tw::StringSink txt, csv;
    tw::WriteText(h.doc, txt, nullptr, {}, cells.get());
    tw::WriteCsv(h.doc, csv);
    return 0;
}

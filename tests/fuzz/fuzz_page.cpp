// The reader on arbitrary bytes, then the screen page at its first rows
// and at a later row, and the whole printout, on the recording canvas
// with a right edge, as the real surfaces have.
#include "platform/fake/recording_canvas.h"
#include "printing/print.h"
#include "tests/fuzz/fuzz_support.h"
#include "viewer/page.h"

namespace {

// Pages are dropped as they end, so a long printout does not pile up.
class PageCanvas : public tw::fake::RecordingCanvas {
public:
    void NewPage() override {
        drawn.clear();
        RecordingCanvas::NewPage();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::fuzz::Harness h;
    h.Load(data, size);

    PageCanvas screen;
    screen.right_edge = 9000;
    tw::ScriptFlags flags;
    tw::DrawPage(screen, h.doc, 1, 40, flags);
    if (h.doc.NumRows > 40) tw::DrawPage(screen, h.doc, h.doc.NumRows - 20, 40, flags);
    for (const auto& d : screen.drawn) {
        // Nothing starts past the edge.
        if (d.x >= screen.right_edge) __builtin_trap();
    }

    PageCanvas printer;
    printer.right_edge = printer.scale_width;
    std::string CrLf = "\r\n";
    std::int16_t length = 0;
    tw::PrintJob job{h.sys, h.doc, printer, "Courier New", 9, CrLf, length, flags};
    tw::PrintDocument(job);
    return 0;
}

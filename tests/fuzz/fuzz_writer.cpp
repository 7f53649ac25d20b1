// The reader on arbitrary bytes followed by one of the file writers,
// chosen when the target is built (TARNWICK_FUZZ_WRITER).
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::fuzz::Harness h;
    static const std::string out = h.path + ".out";
    h.Load(data, size);
#if TARNWICK_FUZZ_WRITER == 1
    tw::WriteFileTxt(h.sys, h.doc, out);
#elif TARNWICK_FUZZ_WRITER == 2
    tw::WriteFileHTML(h.sys, h.doc, out);
#else
    tw::RtfMetrics m;
    m.zero_width = 105;
    m.zero_height = 225;
    m.page_width = 11906;
    m.printable_width = 11506;
    tw::WriteRTF(h.sys, h.doc, m, out);
#endif
    return 0;
}

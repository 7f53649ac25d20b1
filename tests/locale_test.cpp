// Numbers look the same whatever the desktop's locale: Qt switches the
// process to the user's locale, so the program must read and write numbers
// without the C library's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <map>

#include "document/layouts.h"
#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "platform/fake/recording_canvas.h"
#include "printing/print.h"
#include "support.h"
#include "viewer/page.h"

namespace tw {
namespace {

const char kNumbers[] =
    "%OP%DENumbers\n%OP%TH1\n"
    "%CO:A,24,0%%V%%D2%1234.5*2\n%V%%DF%1/3\n%V%%LC%%D2%1000\n%V%2.5e3+value(\"0.5\")\n"
    "Total @A1@@@@@@@@@@@\n";

// Everything one document gives in the PipeDream layout: the screen
// page, the printed page, and the four writers' bytes.
std::map<std::string, std::string> Outputs() {
    test::Fixture f;
    f.Load(kNumbers);
    auto cells = MakeShownCells(f.doc, Layout::PipeDream, {"n.pd", "12:00"});
    std::map<std::string, std::string> out;
    fake::RecordingCanvas screen, printer;
    ScriptFlags flags;
    DrawPage(screen, f.doc, *cells, 1, 10, flags);
    for (const auto& d : screen.drawn) out["screen"] += d.text + "|";
    std::string CrLf = "\r\n";
    std::int16_t length = 0;
    PrintJob job{f.fp.sys, f.doc, printer, "Courier New", 9, CrLf, length, flags, std::nullopt, cells.get()};
    PrintDocument(job);
    for (const auto& d : printer.drawn) out["printer"] += d.text + "|";
    StringSink txt, htm, rtf, csv;
    WriteText(f.doc, txt, nullptr, {}, cells.get());
    WriteHTML(f.fp.sys, f.doc, htm, nullptr, {}, cells.get());
    WriteRTFTo(f.fp.sys, f.doc, RtfMetrics{}, rtf, nullptr, cells.get());
    WriteCsv(f.doc, csv);
    out["txt"] = txt.bytes;
    out["htm"] = htm.bytes;
    out["rtf"] = rtf.bytes;
    out["csv"] = csv.bytes;
    return out;
}

TEST(Locale, ACommaLocaleShowsTheSameDigits) {
    std::map<std::string, std::string> c = Outputs();
    EXPECT_EQ(c["txt"],
              "2,469.00\r\n0.333333333333333\r\n\xA3"
              "1,000.00\r\n2,500.50\r\nTotal 2,469.00\r\n");
    EXPECT_EQ(c["csv"], "2469\r\n0.3333333333333333\r\n1000\r\n2500.5\r\nTotal @A1@\r\n");
    ::setenv("LOCPATH", test::CommaLocales().c_str(), 1);
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(std::setlocale(LC_ALL, name), nullptr);
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
        std::map<std::string, std::string> comma = Outputs();
        std::setlocale(LC_ALL, "C");
        for (const auto& [what, bytes] : c) EXPECT_EQ(comma[what], bytes) << what;
    }
}

}  // namespace
}  // namespace tw

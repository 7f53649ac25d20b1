// Computing spreadsheets without holding the window, and the engine's
// bounds, each against a baseline measured in the same run:
//  - the window on a sheet of ROWS rows in which each row counts the rows
//    above (the last page needs the whole sheet): Ctrl+Down answered, the
//    longest the window went without handling its events while the page
//    filled in, the time until it was filled, and the peak memory against
//    the converter's CSV of the same sheet (top-down);
//  - sum(B1B19999999) on a 30-row sheet, against sum(B1B30);
//  - 2,000 cells of rept("y",1000000): time, peak memory, and how many
//    cells say "Memory full".
//
//   build/bench/computing_bench TARNWICK [rows]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>
#include <fstream>

#include "bench/timing.h"
#include "bench/window.h"
#include "document/reader.h"
#include "document/sheet_source.h"
#include "formula/evaluator.h"
#include "platform/fake/fake_dialog.h"
#include "platform/fake/fakes.h"
#include "viewer/computing.h"
#include "viewer/frmQuillon.h"

namespace {

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string CountingSheet(int rows) {
    std::string s = "%CO:A,12,72%%V%%D0%1\n";
    for (int n = 2; n <= rows; ++n) s += "%V%%D0%count(A1A" + std::to_string(n - 1) + ")+1\n";
    return s;
}

void Window(const std::string& path) {
    tw::fake::FakePlatform fp;
    const std::string folder = "/tmp/tarnwick-computing-bench";
    std::system(("mkdir -p " + folder).c_str());
    Write(folder + "/Quillon.ini", "[Quillon]\nLayout=PipeDream\n");
    fp.process.program_folder = folder;
    tw::bench::ShownWindow shown(fp.sys);
    tw::frmQuillon& w = shown.w;
    w.LoadFile(path);
    QApplication::processEvents();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ControlModifier);
    double answered = tw::bench::Seconds([&] { QApplication::sendEvent(w.VScroll1, &down); });
    QElapsedTimer filled, gap;
    filled.start();
    gap.start();
    qint64 longest = 0;
    while (w.Computing()->Busy()) {
        QApplication::processEvents();
        longest = std::max(longest, gap.restart());
    }
    std::printf(
        "window: Ctrl+Down answered in %.1f ms; last page filled after %.2f s; longest without events "
        "%lld ms\n",
        answered * 1000, static_cast<double>(filled.elapsed()) / 1000, static_cast<long long>(longest));
}

double SumOver(const std::string& range) {
    tw::fake::FakePlatform fp;
    tw::fake::FakeWindow win;
    tw::DocumentModel doc;
    std::string sheet = "%CO:A,12,72%%V%sum(" + range + ")\n%CO:B,12,72%";
    for (int r = 1; r <= 30; ++r) sheet += "%V%" + std::to_string(r) + "\n";
    Write("/tmp/tarnwick-sum-bench.pd", sheet);
    tw::ReadPipeDreamFile(fp.sys, win, doc, "/tmp/tarnwick-sum-bench.pd");
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        tw::formula::DocumentSource source(doc);
        tw::formula::Evaluator ev(source);
        times.push_back(tw::bench::Seconds([&] { ev.CellValue(1, 1); }));
    }
    return tw::bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: computing_bench TARNWICK [rows]\n");
        return 2;
    }
    const std::string exe = argv[1];
    int rows = argc > 2 ? std::atoi(argv[2]) : 30000;
    const std::string counting = "/tmp/tarnwick-counting.pd", rept = "/tmp/tarnwick-rept.pd";
    Write(counting, CountingSheet(rows));
    std::string r = "%CO:A,12,72%";
    for (int i = 0; i < 2000; ++i) r += "%V%rept(\"y\",1000000)\n";
    Write(rept, r);

    tw::bench::ChildRun conv = tw::bench::RunCommand(exe + " --convert-to csv " + counting + " --outdir /tmp");
    tw::bench::ChildRun win = tw::bench::RunInChild([&] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        int qt_argc = 1;
        char* qt_argv[] = {argv[0], nullptr};
        QApplication app(qt_argc, qt_argv);
        Window(counting);
        std::fflush(stdout);
        std::_Exit(0);
    });
    std::printf("counting sheet, %d rows: converter to CSV %.2f s, peak %.1f MB; window peak %.1f MB = %.2f x\n", rows,
                conv.seconds, conv.peak_kb / 1024.0, win.peak_kb / 1024.0,
                static_cast<double>(win.peak_kb) / static_cast<double>(conv.peak_kb));

    double vast = SumOver("B1B19999999"), exact = SumOver("B1B30");
    std::printf("sum(B1B19999999) on a 30-row sheet: median %.3f ms; sum(B1B30) %.3f ms\n", vast * 1000, exact * 1000);

    tw::bench::ChildRun many = tw::bench::RunCommand(exe + " --convert-to csv " + rept + " --outdir /tmp");
    std::ifstream csv("/tmp/tarnwick-rept.csv", std::ios::binary);
    std::string line;
    int full = 0;
    while (std::getline(csv, line)) full += line.rfind("Memory full", 0) == 0;
    std::printf("2,000 cells of rept(\"y\",1000000): %.2f s, peak %.1f MB, %d cells say \"Memory full\"\n",
                many.seconds, many.peak_kb / 1024.0, full);
    return 0;
}

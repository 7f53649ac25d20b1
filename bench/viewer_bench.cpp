// The viewer on Qt's offscreen platform: the median time of one page step
// (Page Down on the row bar, redraw included) through the 1,000,000-row
// document against the same step on a 100-row document.
//
//   build/bench/viewer_bench [steps] [rows]
#include <QApplication>
#include <QScrollBar>
#include <cstdio>

#include "bench/generate.h"
#include "bench/timing.h"
#include "bench/window.h"
#include "platform/fake/fake_dialog.h"
#include "platform/fake/fakes.h"
#include "viewer/frmQuillon.h"

namespace {

// Median of `steps` page steps: down a page, wrapping to the top at the end.
double PageStep(const std::string& path, int steps) {
    tw::fake::FakePlatform fp;
    fp.process.program_folder = "/tmp";
    fp.process.settings_folder = "/tmp/tarnwick-bench-settings";
    std::system("mkdir -p /tmp/tarnwick-bench-settings");
    tw::bench::ShownWindow shown(fp.sys);
    tw::frmQuillon& w = shown.w;
    w.LoadFile(path);
    QApplication::processEvents();
    QScrollBar* bar = w.VScroll1;
    std::vector<double> times;
    for (int i = 0; i < steps; ++i) {
        int next = bar->value() + bar->pageStep();
        if (next > bar->maximum()) next = bar->minimum() + (i % 2);
        times.push_back(tw::bench::Seconds([&] { bar->setValue(next); }));
    }
    return tw::bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int steps = argc > 1 ? std::atoi(argv[1]) : 400;
    int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    std::string big = tw::bench::BenchDocument(rows);
    std::string small = tw::bench::BenchDocument(100);
    if (big.empty() || small.empty()) return 1;
    double s = PageStep(small, steps);
    double b = PageStep(big, steps);
    std::printf("page step, 100 rows        median %6.3f ms over %d steps\n", s * 1000, steps);
    std::printf("page step, %d rows  median %6.3f ms over %d steps  = %.2f x the 100-row step\n", rows, b * 1000, steps,
                b / s);
    return 0;
}

// The viewer on Qt's offscreen platform over the generated spreadsheet
// (two constants, their sum, a running total): the page step and the first
// page in the PipeDream layout against the plain layout, measured in the
// same run, and the first page against the read alone.
//
//   build/bench/layout_bench [steps] [rows] [runs]
#include <QApplication>
#include <QScrollBar>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "bench/spreadsheet.h"
#include "bench/timing.h"
#include "bench/window.h"
#include "document/reader.h"
#include "platform/fake/fake_dialog.h"
#include "platform/fake/fakes.h"
#include "viewer/frmQuillon.h"

namespace {

struct NoWindow : tw::WindowHooks {
    void SetCaption(const std::string&) override {}
    void ClearSurface() override {}
};

struct Figures {
    double read = 0;    // ReadPipeDreamFile alone
    double load = 0;    // LoadFile: the read and the first page
    double step = 0;    // median page step, redraw included
    double to_end = 0;  // Ctrl+Down: the last page, every running total above it
};

Figures Measure(const std::string& path, bool pipedream, int steps) {
    const std::string folder = std::string("/tmp/tarnwick-layout-bench-") + (pipedream ? "pd" : "plain");
    mkdir(folder.c_str(), 0700);
    std::ofstream(folder + "/Quillon.ini") << "[Quillon]\nLayout=" << (pipedream ? "PipeDream" : "") << "\n";
    tw::fake::FakePlatform fp;
    fp.process.program_folder = folder;
    fp.process.settings_folder = folder;
    Figures f;
    {
        // The second of two reads, so that the file is as warm as for the load below.
        NoWindow hooks;
        tw::DocumentModel doc;
        tw::ReadPipeDreamFile(fp.sys, hooks, doc, path);
        f.read = tw::bench::Seconds([&] { tw::ReadPipeDreamFile(fp.sys, hooks, doc, path); });
    }
    tw::bench::ShownWindow shown(fp.sys);
    tw::frmQuillon& w = shown.w;
    if ((w.ShownLayout() == tw::Layout::PipeDream) != pipedream) std::fprintf(stderr, "layout setting not taken\n");
    f.load = tw::bench::Seconds([&] { w.LoadFile(path); });
    QApplication::processEvents();
    QScrollBar* bar = w.VScroll1;
    std::vector<double> times;
    for (int i = 0; i < steps; ++i) {
        int next = bar->value() + bar->pageStep();
        if (next > bar->maximum()) next = bar->minimum() + (i % 2);
        times.push_back(tw::bench::Seconds([&] { bar->setValue(next); }));
    }
    f.step = tw::bench::Median(times);
    f.to_end = tw::bench::Seconds([&] { bar->setValue(bar->maximum()); });
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::atoi(argv[1]) : 400;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 200000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string path = "/tmp/tarnwick-layout-bench-" + std::to_string(rows) + ".pd";
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 && !tw::bench::GenerateSpreadsheet(path, rows)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::vector<double> read[2], load[2], step[2], to_end[2];
    for (int r = 0; r < runs; ++r) {
        for (int l = 0; l < 2; ++l) {
            Figures f = Measure(path, l == 1, steps);
            read[l].push_back(f.read);
            load[l].push_back(f.load);
            step[l].push_back(f.step);
            to_end[l].push_back(f.to_end);
        }
    }
    const char* names[2] = {"plain    ", "PipeDream"};
    std::printf("%d rows x 4 number columns, %d page steps, medians of %d runs\n", rows, steps, runs);
    for (int l = 0; l < 2; ++l) {
        const double rd = tw::bench::Median(read[l]), ld = tw::bench::Median(load[l]);
        std::printf(
            "%s  read %7.1f ms  load+first page %7.1f ms  first page %6.2f ms  page step %6.3f ms  "
            "to the last page %7.1f ms\n",
            names[l], rd * 1000, ld * 1000, (ld - rd) * 1000, tw::bench::Median(step[l]) * 1000,
            tw::bench::Median(to_end[l]) * 1000);
    }
    std::printf("PipeDream page step = %.2f x the plain step\n",
                tw::bench::Median(step[1]) / tw::bench::Median(step[0]));
    return 0;
}

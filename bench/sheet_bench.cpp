// Converting the 200,000 x 4 spreadsheet of the CSV benchmark to ODS and
// to XLSX against converting it to CSV, whole process, medians of several
// runs in the same session, with the ratios of time and peak memory; and
// LibreOffice's own time to turn that sheet's CSV of formulas into ODS.
//
//   build/bench/sheet_bench TARNWICK [runs] [rows]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "bench/spreadsheet.h"
#include "bench/timing.h"

int main(int argc, char** argv) {
    using namespace tw;
    if (argc < 2) {
        std::fprintf(stderr, "usage: sheet_bench TARNWICK [runs] [rows]\n");
        return 2;
    }
    std::string exe = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    int rows = argc > 3 ? std::atoi(argv[3]) : 200000;
    std::string dir = "/tmp/tarnwick-sheet-bench";
    std::string path = dir + "/sheet.pd";
    bench::RunCommand("rm -rf " + dir + " && mkdir -p " + dir);
    if (!bench::GenerateSpreadsheet(path, rows) || !bench::GenerateFormulaCsv(dir + "/formulas.csv", rows)) return 1;
    struct stat st {};
    stat(path.c_str(), &st);
    std::printf("spreadsheet: %d rows x 4 number cells, %.1f MB\n", rows, static_cast<double>(st.st_size) / (1 << 20));

    const char* formats[] = {"csv", "ods", "xlsx"};
    std::vector<double> times[3];
    long peaks[3] = {};
    for (int i = 0; i < runs; ++i) {
        for (int f = 0; f < 3; ++f) {
            auto r = bench::RunCommand(exe + " --convert-to " + formats[f] + " " + path + " --outdir " + dir);
            if (r.status != 0) {
                std::fprintf(stderr, "the conversion to %s failed\n", formats[f]);
                return 1;
            }
            times[f].push_back(r.seconds);
            peaks[f] = std::max(peaks[f], r.peak_kb);
        }
    }
    double csv = bench::Median(times[0]);
    for (int f = 0; f < 3; ++f) {
        double t = bench::Median(times[f]);
        struct stat out {};
        stat((dir + "/sheet." + formats[f]).c_str(), &out);
        std::printf("to %-4s median %8.1f ms   peak %6.1f MB   file %6.1f MB   time %.2f x csv, memory %.2f x csv\n",
                    formats[f], t * 1000, peaks[f] / 1024.0, static_cast<double>(out.st_size) / (1 << 20), t / csv,
                    static_cast<double>(peaks[f]) / static_cast<double>(peaks[0]));
    }
    // The peer: LibreOffice reading the same sheet's formulas as CSV and
    // writing them as ODS, once (it starts slowly and takes long).
    auto lo = bench::RunCommand("soffice -env:UserInstallation=file://" + dir +
                                "/profile --headless --convert-to ods --outdir " + dir + "/lo " + dir +
                                "/formulas.csv >/dev/null 2>&1");
    if (lo.status == 0) {
        std::printf("LibreOffice csv of formulas to ods: %8.1f ms   peak %6.1f MB   (%.2f x Tarnwick's ods)\n",
                    lo.seconds * 1000, lo.peak_kb / 1024.0, lo.seconds / bench::Median(times[1]));
    } else {
        std::printf("LibreOffice: not run (soffice missing or failed)\n");
    }
    if (!std::getenv("SHEET_BENCH_KEEP")) bench::RunCommand("rm -rf " + dir);
    return 0;
}

// Converting the 200,000 x 4 spreadsheet to CSV (every formula computed)
// against converting the same file to txt (formulas written as text),
// whole process, medians of several runs in the same session, with the
// ratios of time and peak memory.
//
//   build/bench/csv_bench TARNWICK [runs] [rows]
//   build/bench/csv_bench --write DOCUMENT.pd FORMULAS.csv [rows]
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "bench/spreadsheet.h"
#include "bench/timing.h"

namespace {

// The last line's last field of a CSV file.
double LastTotal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line))
        if (line.size() > 1) last = line;
    return std::strtod(last.c_str() + last.rfind(',') + 1, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tw;
    if (argc >= 4 && std::string(argv[1]) == "--write") {
        int rows = argc > 4 ? std::atoi(argv[4]) : 200000;
        return bench::GenerateSpreadsheet(argv[2], rows) && bench::GenerateFormulaCsv(argv[3], rows) ? 0 : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: csv_bench TARNWICK [runs] [rows]\n");
        return 2;
    }
    std::string exe = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    int rows = argc > 3 ? std::atoi(argv[3]) : 200000;
    std::string dir = "/tmp/tarnwick-csv-bench";
    std::string path = dir + "/sheet.pd";
    bench::RunCommand("rm -rf " + dir + " && mkdir -p " + dir);
    if (!bench::GenerateSpreadsheet(path, rows)) return 1;
    struct stat st {};
    stat(path.c_str(), &st);
    std::printf("spreadsheet: %d rows x 4 number cells, %.1f MB\n", rows, static_cast<double>(st.st_size) / (1 << 20));

    std::vector<double> txt, csv;
    long txt_peak = 0, csv_peak = 0;
    for (int i = 0; i < runs; ++i) {
        auto t = bench::RunCommand(exe + " --convert-to txt " + path + " --outdir " + dir);
        auto c = bench::RunCommand(exe + " --convert-to csv " + path + " --outdir " + dir);
        if (t.status != 0 || c.status != 0) {
            std::fprintf(stderr, "a conversion failed\n");
            return 1;
        }
        txt.push_back(t.seconds);
        csv.push_back(c.seconds);
        txt_peak = std::max(txt_peak, t.peak_kb);
        csv_peak = std::max(csv_peak, c.peak_kb);
    }
    double expected = bench::RunningTotal(rows);
    double got = LastTotal(dir + "/sheet.csv");
    if (std::fabs(got - expected) > 1e-6 * std::fabs(expected)) {
        std::fprintf(stderr, "wrong running total: %.17g, expected %.17g\n", got, expected);
        return 1;
    }
    double t = bench::Median(txt), c = bench::Median(csv);
    std::printf("to txt  median %8.1f ms   peak %6.1f MB\n", t * 1000, txt_peak / 1024.0);
    std::printf("to csv  median %8.1f ms   peak %6.1f MB\n", c * 1000, csv_peak / 1024.0);
    std::printf("csv / txt: time %.2f x (limit 4), peak memory %.2f x (limit 2); last total %.17g checked\n", c / t,
                static_cast<double>(csv_peak) / static_cast<double>(txt_peak), got);
    bench::RunCommand("rm -rf " + dir);
    return 0;
}

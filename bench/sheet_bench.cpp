// Converting the 200,000 x 4 spreadsheet of the CSV benchmark to ODS and
// to XLSX against converting it to CSV, whole process, medians of several
// runs in the same session, with the ratios of time and peak memory; and
// LibreOffice's own time to turn that sheet's CSV of formulas into ODS.
// Also the floor under the XLSX: libxlsxwriter alone given the same cells.
//
//   build/bench/sheet_bench TARNWICK [runs] [rows]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <xlsxwriter.h>

#include "bench/spreadsheet.h"
#include "bench/timing.h"

namespace {

// The floor under Tarnwick's XLSX: libxlsxwriter alone writing the sheet's
// cells, values and formulas computed beforehand, with the calls Tarnwick
// makes; the seconds spent giving it the cells, then closing (zipping).
std::pair<double, double> XlsxAlone(const std::string& path, int rows) {
    using namespace tw::bench;
    std::vector<std::string> sums, totals;
    std::vector<double> a, b;
    for (int r = 1; r <= rows; ++r) {
        sums.push_back("=A" + std::to_string(r) + "+B" + std::to_string(r));
        totals.push_back(r == 1 ? "=C1" : "=D" + std::to_string(r - 1) + "+C" + std::to_string(r));
        a.push_back(ConstantA(r));
        b.push_back(ConstantB(r));
    }
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Spreadsheet benchmark");
    lxw_format* f = workbook_add_format(wb);
    format_set_num_format(f, "0.00");
    double total = 0;
    double cells = Seconds([&] {
        for (std::size_t r = 0; r < a.size(); ++r) {
            auto row = static_cast<lxw_row_t>(r);
            total += a[r] + b[r];
            worksheet_write_number(ws, row, 0, a[r], f);
            worksheet_write_number(ws, row, 1, b[r], f);
            worksheet_write_formula_num(ws, row, 2, sums[r].c_str(), f, a[r] + b[r]);
            worksheet_write_formula_num(ws, row, 3, totals[r].c_str(), f, total);
        }
    });
    double close = Seconds([&] { workbook_close(wb); });
    return {cells, close};
}

}  // namespace

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
    std::vector<double> alone_cells, alone_close;
    for (int i = 0; i < runs; ++i) {
        auto [cells, close] = XlsxAlone(dir + "/alone.xlsx", rows);
        alone_cells.push_back(cells);
        alone_close.push_back(close);
    }
    double alone = bench::Median(alone_cells) + bench::Median(alone_close);
    std::printf(
        "libxlsxwriter alone, the same cells precomputed: median %8.1f ms (cells %.1f, close %.1f)   "
        "time %.2f x csv\n",
        alone * 1000, bench::Median(alone_cells) * 1000, bench::Median(alone_close) * 1000, alone / csv);
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

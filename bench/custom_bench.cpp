// Custom functions against built-in functions, in one run:
//  - a custom function whose FOR loop runs 1,000 times, called from
//    CELLS cells of another document: time per call, and the time and
//    peak memory of computing the whole document;
//  - the same document with the loop unrolled into one SUM of 1,000
//    terms in each cell: the same values from built-in functions only.
//
//   build/bench/custom_bench [cells]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/timing.h"
#include "document/reader.h"
#include "document/sheet_source.h"
#include "formula/evaluator.h"
#include "platform/fake/fakes.h"

namespace {

constexpr int kLoop = 1000;

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Column A the numbers 1 to cells, column B a formula of each.
std::string Dependent(int cells, const std::string& (*formula)(int row)) {
    std::string s = "%OP%DE\n%CO:A,8,72%";
    for (int r = 1; r <= cells; ++r) s += "%V%" + std::to_string(r) + "\n";
    s += "%CO:B,12,72%";
    for (int r = 1; r <= cells; ++r) s += "%V%" + formula(r) + "\n";
    return s;
}

const std::string& Called(int row) {
    static std::string f;
    f = "[cf]weighted(A" + std::to_string(row) + ")";
    return f;
}

const std::string& Unrolled(int row) {
    static std::string f;
    std::string a = "A" + std::to_string(row);
    f = "sum(";
    for (int k = 1; k <= kLoop; ++k) f += (k > 1 ? "," : "") + a + "*" + std::to_string(k);
    f += ")";
    return f;
}

// Reads the document and computes every cell of column B; the last value
// is checked against what the loop gives.
void Compute(const std::string& path, int cells) {
    tw::fake::FakePlatform fp;
    tw::DocumentModel doc;
    tw::ReadPipeDreamFile(fp.sys, fp.window, doc, path);
    tw::formula::DocumentSource source(doc);
    tw::formula::Evaluator ev(source);
    double last = 0;
    for (int r = 1; r <= cells; ++r) {
        tw::formula::Value v = ev.CellValue(2, r);
        if (!v.IsNumber()) {
            std::fprintf(stderr, "B%d: %s\n", r, tw::formula::Describe(v).c_str());
            _exit(1);
        }
        last = v.number();
    }
    if (last != static_cast<double>(cells) * kLoop * (kLoop + 1) / 2) _exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    int cells = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::string folder = "/tmp/tarnwick-custom-bench";
    std::filesystem::create_directories(folder);
    Write(folder + "/cf.pd",
          "%OP%DE\n%CO:A,60,72%%V%function(\"weighted\",\"n:number\")\n%V%set_name(\"s\",0)\n"
          "%V%for(\"k\",1," +
              std::to_string(kLoop) + ")\n%V%set_name(\"s\",s+k*@n)\n%V%next\n%V%result(s)\n");
    Write(folder + "/called.pd", Dependent(cells, Called));
    Write(folder + "/unrolled.pd", Dependent(cells, Unrolled));

    std::vector<double> called_s, unrolled_s;
    long called_kb = 0, unrolled_kb = 0;
    for (int run = 0; run < 3; ++run) {
        tw::bench::ChildRun c = tw::bench::RunInChild([&] { Compute(folder + "/called.pd", cells); });
        tw::bench::ChildRun u = tw::bench::RunInChild([&] { Compute(folder + "/unrolled.pd", cells); });
        if (c.status != 0 || u.status != 0) {
            std::fprintf(stderr, "a run failed (%d, %d)\n", c.status, u.status);
            return 1;
        }
        called_s.push_back(c.seconds);
        unrolled_s.push_back(u.seconds);
        called_kb = std::max(called_kb, c.peak_kb);
        unrolled_kb = std::max(unrolled_kb, u.peak_kb);
    }
    double c = tw::bench::Median(called_s), u = tw::bench::Median(unrolled_s);
    std::printf("%d cells, a loop of %d steps in each call\n", cells, kLoop);
    std::printf("custom function: %.3f s (%.1f us a call), peak %ld KB\n", c, c / cells * 1e6, called_kb);
    std::printf("unrolled sum:    %.3f s (%.1f us a cell), peak %ld KB\n", u, u / cells * 1e6, unrolled_kb);
    std::printf("custom / unrolled: time %.2fx, memory %.2fx\n", c / u,
                static_cast<double>(called_kb) / static_cast<double>(unrolled_kb));
    return 0;
}

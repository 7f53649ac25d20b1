// Find through the 1,000,000-row document: the median time to find a word
// that stands only in the last row, searching from the first row, against
// `grep -ci` of the same word in the same file.
//
//   build/bench/find_bench [runs] [rows]
#include <cstdio>
#include <string>

#include "bench/generate.h"
#include "bench/timing.h"
#include "document/reader.h"
#include "platform/fake/fakes.h"
#include "viewer/search.h"

int main(int argc, char** argv) {
    using namespace tw;
    int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    std::string path = bench::BenchDocument(rows);
    if (path.empty()) return 1;
    fake::FakePlatform fp;
    DocumentModel doc;
    ReadPipeDreamFile(fp.sys, fp.window, doc, path);
    // The last column's cell of the last row reads "h" and the row number.
    char word[32];
    std::snprintf(word, sizeof word, "H%07d", rows);
    PlainCells cells(doc);
    std::vector<double> forward, back, grep;
    bench::RunCommand("cat " + path);  // warm the page cache
    for (int i = 0; i < runs; ++i) {
        grep.push_back(bench::RunCommand(std::string("grep -ci ") + word + " " + path).seconds);
        forward.push_back(bench::Seconds([&] {
            auto m = FindFrom(doc, cells, FindRequest{word, false, true}, TextPlace{1, 1, 0});
            if (!m || m->row != rows || m->column != 8) std::fprintf(stderr, "forward: not in the last row\n");
        }));
        back.push_back(bench::Seconds([&] {
            // Backward from the row before: the whole document, then the
            // continuation from the end.
            auto o = FindText(doc, cells, FindRequest{word, false, false}, TextPlace{rows - 1, 1, 0});
            if (!o.match || o.match->row != rows || !o.wrapped) std::fprintf(stderr, "back: not in the last row\n");
        }));
    }
    double f = bench::Median(forward), b = bench::Median(back), g = bench::Median(grep);
    std::printf("find \"%s\" in row %d of %d x 8, from row 1:  median %6.1f ms over %d runs\n", word, rows, rows,
                f * 1000, runs);
    std::printf("the same backward, wrapping at the top:        median %6.1f ms\n", b * 1000);
    std::printf("grep -ci of the word in the file:              median %6.1f ms\n", g * 1000);
    std::printf("ratio  find / grep -ci = %.2f\n", f / g);
    return 0;
}

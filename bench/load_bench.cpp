// Loading the 1,000,000 x 8 document: median load time against the
// median of `wc -l` on the same file, and the peak memory of a load.
//
//   build/bench/load_bench [runs] [rows]
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "bench/generate.h"
#include "bench/timing.h"
#include "document/reader.h"
#include "platform/fake/fakes.h"

int main(int argc, char** argv) {
    using namespace tw;
    int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    std::string path = bench::BenchDocument(rows);
    if (path.empty()) return 1;
    struct stat st {};
    stat(path.c_str(), &st);
    double mb = static_cast<double>(st.st_size) / (1 << 20);
    std::printf("document: %s, %d rows x 8 columns, %.1f MB\n", path.c_str(), rows, mb);

    fake::FakePlatform fp;
    std::vector<double> load, wc;
    bench::RunCommand("cat " + path);  // warm the page cache
    for (int i = 0; i < runs; ++i) {
        wc.push_back(bench::RunCommand("wc -l " + path).seconds);
        load.push_back(bench::Seconds([&] {
            DocumentModel doc;
            ReadPipeDreamFile(fp.sys, fp.window, doc, path);
            if (doc.NumRows != rows) std::fprintf(stderr, "loaded %d rows\n", doc.NumRows);
        }));
    }
    bench::ChildRun peak = bench::RunInChild([&] {
        DocumentModel doc;
        ReadPipeDreamFile(fp.sys, fp.window, doc, path);
    });
    double ml = bench::Median(load), mw = bench::Median(wc);
    std::printf("load   median %7.1f ms over %d runs\n", ml * 1000, runs);
    std::printf("wc -l  median %7.1f ms over %d runs\n", mw * 1000, runs);
    std::printf("ratio  load / wc -l = %.2f\n", ml / mw);
    std::printf("peak   %.1f MB resident = %.2f x the file\n", static_cast<double>(peak.peak_kb) / 1024,
                static_cast<double>(peak.peak_kb) / 1024 / mb);
    return 0;
}

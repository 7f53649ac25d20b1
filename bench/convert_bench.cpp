// Converting the 1,000,000 x 8 document with the real program, whole
// process (load plus export), against a `cp` of the same file, each the
// median of several runs in the same session. With --dense, the document
// of short cells dense with codes, escapes and 8-bit characters.
//
//   build/bench/convert_bench [--dense] TARNWICK [runs] [rows]
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "bench/generate.h"
#include "bench/timing.h"

int main(int argc, char** argv) {
    using namespace tw;
    bool dense = argc > 1 && std::strcmp(argv[1], "--dense") == 0;
    if (dense) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: convert_bench [--dense] TARNWICK [runs] [rows]\n");
        return 2;
    }
    std::string exe = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    int rows = argc > 3 ? std::atoi(argv[3]) : 1000000;
    std::string path = bench::BenchDocument(rows, dense);
    if (path.empty()) return 1;
    // Its own folder: other runs may be converting beside it.
    std::string out = "/tmp/tarnwick-bench-out-" + std::to_string(getpid());
    struct stat st {};
    stat(path.c_str(), &st);
    bench::RunCommand("mkdir -p " + out + " && cat " + path);
    std::printf("document: %s, %.1f MB\n", path.c_str(), static_cast<double>(st.st_size) / (1 << 20));

    std::vector<double> cp;
    std::vector<double> conv[3];
    long peak[3] = {0, 0, 0};
    const char* formats[3] = {"txt", "htm", "rtf"};
    for (int i = 0; i < runs; ++i) {
        cp.push_back(bench::RunCommand("cp " + path + " " + out + "/copy.pd").seconds);
        for (int f = 0; f < 3; ++f) {
            auto r = bench::RunCommand(exe + " --convert-to " + formats[f] + " " + path + " --outdir " + out);
            if (r.status != 0) std::fprintf(stderr, "%s conversion failed\n", formats[f]);
            conv[f].push_back(r.seconds);
            peak[f] = std::max(peak[f], r.peak_kb);
        }
    }
    double base = bench::Median(cp);
    std::printf("cp            median %7.1f ms\n", base * 1000);
    for (int f = 0; f < 3; ++f) {
        double m = bench::Median(conv[f]);
        std::printf("to %s        median %7.1f ms  = %5.2f x cp   peak %.0f MB\n", formats[f], m * 1000, m / base,
                    static_cast<double>(peak[f]) / 1024);
    }
    bench::RunCommand("rm -rf " + out);
    return 0;
}

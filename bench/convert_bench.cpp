// Converting the 1,000,000 x 8 document with the real program, whole
// process (load plus export), against a `cp` of the same file and against
// a durable copy (`dd conv=fsync`, which like the converter waits for its
// data to reach the disk), each the median of several runs in the same
// session. With --dense, the document
// of short cells dense with codes, escapes and 8-bit characters. With
// --against, a second build converts in turn with the first, so both are
// measured against the same `cp`.
//
//   build/bench/convert_bench [--dense] [--against OTHER] TARNWICK [runs] [rows]
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "bench/generate.h"
#include "bench/timing.h"

int main(int argc, char** argv) {
    using namespace tw;
    bool dense = false;
    std::vector<std::string> exes;
    while (argc > 1 && argv[1][0] == '-' && argv[1][1] == '-') {
        if (std::strcmp(argv[1], "--dense") == 0) {
            dense = true;
        } else if (std::strcmp(argv[1], "--against") == 0 && argc > 2) {
            exes.push_back(argv[2]);
            --argc;
            ++argv;
        } else {
            break;
        }
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: convert_bench [--dense] [--against OTHER] TARNWICK [runs] [rows]\n");
        return 2;
    }
    exes.insert(exes.begin(), argv[1]);
    int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    int rows = argc > 3 ? std::atoi(argv[3]) : 1000000;
    std::string path = bench::BenchDocument(rows, dense);
    if (path.empty()) return 1;
    // Its own folder: other runs may be converting beside it.
    std::string out = "/tmp/tarnwick-bench-out-" + std::to_string(getpid());
    struct stat st {};
    stat(path.c_str(), &st);
    for (std::size_t e = 0; e < exes.size(); ++e) bench::RunCommand("mkdir -p " + out + "/" + std::to_string(e));
    bench::RunCommand("cat " + path);
    std::printf("document: %s, %.1f MB\n", path.c_str(), static_cast<double>(st.st_size) / (1 << 20));

    const char* formats[3] = {"txt", "htm", "rtf"};
    std::vector<double> cp, durable;
    // Per build and format: the times, and the peak memory.
    std::vector<std::vector<double>> conv(exes.size() * 3);
    std::vector<long> peak(exes.size() * 3, 0);
    // Between runs, untimed, the disk is given what the run before left to
    // write, so that no run pays for the one before it.
    auto settle = [] { bench::RunCommand("sync"); };
    for (int i = 0; i < runs; ++i) {
        cp.push_back(bench::RunCommand("cp " + path + " " + out + "/copy.pd").seconds);
        settle();
        durable.push_back(
            bench::RunCommand("dd if=" + path + " of=" + out + "/durable.pd bs=1M conv=fsync status=none").seconds);
        settle();
        for (std::size_t e = 0; e < exes.size(); ++e) {
            for (int f = 0; f < 3; ++f) {
                // Each build replaces only its own earlier outputs.
                std::string dir = out + "/" + std::to_string(e);
                auto r = bench::RunCommand(exes[e] + " --convert-to " + formats[f] + " " + path + " --outdir " + dir);
                if (r.status != 0) std::fprintf(stderr, "%s conversion failed\n", formats[f]);
                conv[e * 3 + f].push_back(r.seconds);
                peak[e * 3 + f] = std::max(peak[e * 3 + f], r.peak_kb);
                settle();
            }
        }
    }
    double base = bench::Median(cp), synced = bench::Median(durable);
    std::printf("cp            median %7.1f ms\n", base * 1000);
    std::printf("durable copy  median %7.1f ms  = %5.2f x cp\n", synced * 1000, synced / base);
    for (std::size_t e = 0; e < exes.size(); ++e) {
        if (exes.size() > 1) std::printf("%s\n", exes[e].c_str());
        for (int f = 0; f < 3; ++f) {
            double m = bench::Median(conv[e * 3 + f]);
            std::printf("to %s        median %7.1f ms  = %5.2f x cp  = %5.2f x durable copy   peak %.0f MB\n",
                        formats[f], m * 1000, m / base, m / synced, static_cast<double>(peak[e * 3 + f]) / 1024);
        }
    }
    bench::RunCommand("rm -rf " + out);
    return 0;
}

// From process start to the first page drawn, for a 1 MB document: the
// median over several starts of the real viewer (offscreen), against the
// start of `true` as the floor a process start costs.
//
//   build/bench/startup_bench PROBE [runs]
#include <cstdio>
#include <string>

#include "bench/generate.h"
#include "bench/timing.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string probe = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 11;
    std::string doc = "/tmp/tarnwick-bench-1mb.pd";
    tw::bench::GenerateDocument(doc, 11000, 8);  // about 1 MB
    std::vector<double> start, floor;
    std::string dir = "/tmp/tarnwick-bench-start";
    tw::bench::RunCommand("rm -rf " + dir + " && mkdir -p " + dir + " && cp " + probe + " " + dir + "/probe");
    for (int i = 0; i < runs; ++i) {
        start.push_back(
            tw::bench::RunCommand("QT_QPA_PLATFORM=offscreen " + dir + "/probe " + doc + " 2>/dev/null").seconds);
        floor.push_back(tw::bench::RunCommand("true").seconds);
    }
    std::printf("process start to first page, 1 MB document: median %.0f ms over %d starts (true: %.1f ms)\n",
                tw::bench::Median(start) * 1000, runs, tw::bench::Median(floor) * 1000);
    return 0;
}

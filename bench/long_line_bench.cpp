// Documents with one line of 50 MB: one cell of 50 MB, and a row of a
// 50 MB cell among short rows and columns. Whole processes of the real
// program: the viewer from start to its first page drawn (offscreen) and
// the conversion to PDF, against the conversion to text of the same file,
// each the median of several runs in the same session, with peak memory.
//
//   build/bench/long_line_bench TARNWICK FIRST_PAGE_PROBE [runs] [megabytes]
#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "bench/timing.h"

namespace {

bool Write(const std::string& path, const std::string& head, std::size_t bytes, const std::string& tail) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs(head.c_str(), f);
    std::string block(1 << 20, 'x');
    for (std::size_t i = 0; i < block.size(); i += 61) block[i] = ' ';  // words, not one token
    for (std::size_t done = 0; done < bytes; done += block.size()) {
        std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), f);
    }
    std::fputs(tail.c_str(), f);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tw;
    if (argc < 3) {
        std::fprintf(stderr, "usage: long_line_bench TARNWICK FIRST_PAGE_PROBE [runs] [megabytes]\n");
        return 2;
    }
    std::string exe = argv[1], probe = argv[2];
    int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    std::size_t bytes = (argc > 4 ? static_cast<std::size_t>(std::atol(argv[4])) : 50) << 20;
    std::string dir = "/tmp/tarnwick-bench-line";
    bench::RunCommand("rm -rf " + dir + " && mkdir -p " + dir + "/out && cp " + probe + " " + dir + "/probe");

    struct Doc {
        const char* name;
        std::string head, tail;
    } docs[] = {
        {"one-cell", "%OP%DELong line\n%CO:A,12,72%", "\n"},
        {"row-of-a-huge-cell",
         "%OP%DELong row\n%CO:A,12,72%" +
             [] {
                 std::string s;
                 for (int r = 1; r <= 60; ++r) s += "a" + std::to_string(r) + "\n";
                 return s;
             }(),
         "\n%H2%after%H2%\n%CO:B,10,72%b1\nb2\n%CO:C,10,72%c1\nc2\n"},
    };
    for (const Doc& d : docs) {
        std::string path = dir + "/" + d.name + ".pd";
        if (!Write(path, d.head, bytes, d.tail)) return 1;
        struct stat st {};
        stat(path.c_str(), &st);
        double mb = static_cast<double>(st.st_size) / (1 << 20);
        bench::RunCommand("cat " + path);  // into the page cache
        std::printf("%s: %.1f MB\n", d.name, mb);

        std::vector<double> t[3];
        long peak[3] = {0, 0, 0};
        const std::string commands[3] = {
            exe + " --convert-to txt " + path + " --outdir " + dir + "/out",
            exe + " --convert-to pdf " + path + " --outdir " + dir + "/out",
            "QT_QPA_PLATFORM=offscreen " + dir + "/probe " + path + " 2>/dev/null",
        };
        const char* labels[3] = {"to txt (baseline)", "to pdf", "viewer, start to first page"};
        for (int i = 0; i < runs; ++i) {
            for (int k = 0; k < 3; ++k) {
                auto r = bench::RunCommand(commands[k]);
                if (r.status != 0) std::fprintf(stderr, "%s failed (%d)\n", labels[k], r.status);
                t[k].push_back(r.seconds);
                peak[k] = std::max(peak[k], r.peak_kb);
            }
        }
        double base = bench::Median(t[0]);
        for (int k = 0; k < 3; ++k) {
            double m = bench::Median(t[k]);
            double p = static_cast<double>(peak[k]) / 1024;
            std::printf("  %-28s median %8.1f ms = %5.2f x txt   peak %6.0f MB = %4.2f x file\n", labels[k], m * 1000,
                        m / base, p, p / mb);
        }
    }
    bench::RunCommand("rm -rf " + dir);
    return 0;
}

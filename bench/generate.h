// The benchmark documents: the large light one, the dense-markup one, and
// the light one's cells as comma-separated values.
#pragma once

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace tw::bench {

// Writes a document of `options` lines and then rows x columns cells,
// column after column; `cell(buf, size, column, row)` puts one cell's
// line, ended by LF, into `buf` and returns its length.
template <class Cell>
bool WriteDocument(const std::string& path, const char* options, int rows, int columns, Cell cell) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs(options, f);
    char buf[64];
    for (int c = 0; c < columns; ++c) {
        std::fprintf(f, "%%CO:%c,12,72%%", 'A' + c);
        for (int r = 1; r <= rows; ++r) {
            int n = cell(buf, sizeof buf, c, r);
            std::fwrite(buf, 1, static_cast<std::size_t>(n), f);
        }
    }
    return std::fclose(f) == 0;
}

// Writes the large benchmark document: rows x columns cells of about ten
// characters, with a title, a header and footer, and highlights in the
// first column.
inline bool GenerateDocument(const std::string& path, int rows, int columns) {
    return WriteDocument(path, "%OP%DEBenchmark document\n%OP%HE/Benchmark/@D@/Page @P@\n%OP%FO//- @P@ -//\n", rows,
                         columns, [](char* buf, std::size_t size, int c, int r) {
                             if (c == 0 && r % 10 == 0)
                                 return std::snprintf(buf, size, "%%H2%%%06d%%H2%%\n", r % 1000000);
                             return std::snprintf(buf, size, "%c%07d x\n", 'a' + c, r);
                         });
}

// Writes the dense-markup benchmark document: rows x columns short cells
// where nearly every cell needs work from a writer: characters to escape,
// highlight, value and percent codes, 8-bit characters, and numbers.
inline bool GenerateDenseDocument(const std::string& path, int rows, int columns) {
    return WriteDocument(path, "%OP%DEDense markup\n%OP%HE/Dense/@D@/Page @P@\n%OP%FO//- @P@ -//\n", rows, columns,
                         [](char* buf, std::size_t size, int c, int r) {
                             switch ((r + c) % 8) {
                             case 0: return std::snprintf(buf, size, "x<y\n");
                             case 1: return std::snprintf(buf, size, "a&b\n");
                             case 2: return std::snprintf(buf, size, "caf\xe9\n");
                             case 3: return std::snprintf(buf, size, "\xa3%d\n", r % 1000);
                             case 4: return std::snprintf(buf, size, "%%H2%%bold%%H2%%\n");
                             case 5: return std::snprintf(buf, size, "%%V%%%d\n", r % 1000);
                             case 6: return std::snprintf(buf, size, "50%%PC%%\n");
                             default: return std::snprintf(buf, size, "%d.%02d\n", r, c * 7);
                             }
                         });
}

// The same cells as comma-separated values, one line per row.
inline bool GenerateCsv(const std::string& path, int rows, int columns) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (int c = 0; c < columns; ++c) std::fprintf(f, "%s%c", c ? "," : "", 'A' + c);
    std::fputc('\n', f);
    for (int r = 1; r <= rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c) std::fputc(',', f);
            if (c == 0 && r % 10 == 0) std::fprintf(f, "%06d", r % 1000000);
            else std::fprintf(f, "%c%07d x", 'a' + c, r);
        }
        std::fputc('\n', f);
    }
    return std::fclose(f) == 0;
}

// The benchmarks' shared document of `rows` rows by 8 columns under /tmp,
// written only when it is not there yet; empty when it cannot be written.
inline std::string BenchDocument(int rows, bool dense = false) {
    std::string path = "/tmp/tarnwick-bench-" + std::string(dense ? "dense-" : "") + std::to_string(rows) + "x8.pd";
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return path;
    bool written = dense ? GenerateDenseDocument(path, rows, 8) : GenerateDocument(path, rows, 8);
    if (written) return path;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return "";
}

}  // namespace tw::bench

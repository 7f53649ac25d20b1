// Writes the large benchmark document: rows x columns cells of about ten
// characters, with a title, a header and footer, and highlights in the
// first column.
#pragma once

#include <cstdio>
#include <string>

namespace tw::bench {

inline bool GenerateDocument(const std::string& path, int rows, int columns) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs("%OP%DEBenchmark document\n%OP%HE/Benchmark/@D@/Page @P@\n%OP%FO//- @P@ -//\n", f);
    char buf[64];
    for (int c = 0; c < columns; ++c) {
        std::fprintf(f, "%%CO:%c,12,72%%", 'A' + c);
        for (int r = 1; r <= rows; ++r) {
            int n;
            if (c == 0 && r % 10 == 0) n = std::snprintf(buf, sizeof buf, "%%H2%%%06d%%H2%%\n", r % 1000000);
            else n = std::snprintf(buf, sizeof buf, "%c%07d x\n", 'a' + c, r);
            std::fwrite(buf, 1, static_cast<std::size_t>(n), f);
        }
    }
    return std::fclose(f) == 0;
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

}  // namespace tw::bench

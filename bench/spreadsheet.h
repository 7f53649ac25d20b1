// The spreadsheet of the CSV benchmarks: rows x 4 number cells, two
// constants, their sum, and a running total that refers to the row above.
#pragma once

#include <cstdio>
#include <string>

namespace tw::bench {

inline int ConstantA(int r) { return r % 97 + 1; }
inline double ConstantB(int r) { return (r * 7) % 13 + 0.25; }

// The last row's running total, computed here for checking the outputs.
inline double RunningTotal(int rows) {
    double total = 0;
    for (int r = 1; r <= rows; ++r) total += ConstantA(r) + ConstantB(r);
    return total;
}

// As a PipeDream document, column after column.
inline bool GenerateSpreadsheet(const std::string& path, int rows) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs("%OP%DESpreadsheet benchmark\n", f);
    for (int c = 0; c < 4; ++c) {
        std::fprintf(f, "%%CO:%c,12,72%%", 'A' + c);
        for (int r = 1; r <= rows; ++r) {
            switch (c) {
            case 0: std::fprintf(f, "%%V%%%d\n", ConstantA(r)); break;
            case 1: std::fprintf(f, "%%V%%%.2f\n", ConstantB(r)); break;
            case 2: std::fprintf(f, "%%V%%A%d+B%d\n", r, r); break;
            default:
                if (r == 1) std::fputs("%V%C1\n", f);
                else std::fprintf(f, "%%V%%D%d+C%d\n", r - 1, r);
            }
        }
    }
    return std::fclose(f) == 0;
}

// The same sheet as a CSV of formulas, one line per row, for a
// spreadsheet program to recalculate.
inline bool GenerateFormulaCsv(const std::string& path, int rows) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (int r = 1; r <= rows; ++r) {
        if (r == 1) std::fprintf(f, "%d,%.2f,=A1+B1,=C1\r\n", ConstantA(r), ConstantB(r));
        else std::fprintf(f, "%d,%.2f,=A%d+B%d,=D%d+C%d\r\n", ConstantA(r), ConstantB(r), r, r, r - 1, r);
    }
    return std::fclose(f) == 0;
}

}  // namespace tw::bench

// The reader on arbitrary bytes, then every element of the grid it built.
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::fuzz::Harness h;
    h.Load(data, size);
    std::size_t total = 0;
    for (int c = 1; c <= h.doc.NumCols; ++c) {
        for (int r = -3; r <= h.doc.NumRows; ++r) total += h.doc.Cells(c, r).size();
    }
    return total == static_cast<std::size_t>(-1);
}

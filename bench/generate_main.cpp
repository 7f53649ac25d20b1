// Writes a benchmark document: generate_document PATH ROWS [--csv]
#include <cstdlib>
#include <cstring>

#include "bench/generate.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int rows = std::atoi(argv[2]);
    bool csv = argc > 3 && std::strcmp(argv[3], "--csv") == 0;
    return (csv ? tw::bench::GenerateCsv(argv[1], rows, 8) : tw::bench::GenerateDocument(argv[1], rows, 8)) ? 0 : 1;
}

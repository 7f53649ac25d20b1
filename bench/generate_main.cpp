// Writes a benchmark document: generate_document PATH ROWS [--csv|--dense]
#include <cstdlib>
#include <string_view>

#include "bench/generate.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    int rows = std::atoi(argv[2]);
    std::string_view mode = argc > 3 ? argv[3] : "";
    auto generate = mode == "--csv"     ? tw::bench::GenerateCsv
                    : mode == "--dense" ? tw::bench::GenerateDenseDocument
                                        : tw::bench::GenerateDocument;
    return generate(argv[1], rows, 8) ? 0 : 1;
}

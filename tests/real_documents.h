// The real PipeDream files from RISC OS and the Z88 that every part of the
// program must handle. They are part of the test data, so a missing one
// is a failure, never a reason to skip.
#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace tw::test {

inline std::string RealDocumentsFolder() {
    if (const char* env = std::getenv("TARNWICK_REAL_DOCUMENTS")) return env;
    return TARNWICK_SOURCE_DIR "/tests/data/real-documents";
}

// The eleven documents by name; README.md beside them names their sources.
inline constexpr std::array<const char*, 11> kRealDocumentNames = {
    "pd3-help.pd",
    "pd4-choices-germany.pd",
    "pd4-library-example.pd",
    "pd4-template-numb-plain-1991.pd",
    "pd4-template-numb-plain.pd",
    "pd4-template-numbers.pd",
    "pd4-template-records.pd",
    "pd4-template-text-plain.pd",
    "pd4-template-text.pd",
    "z88-eazylink-manual.pd",
    "z88-zprom-manual.pd",
};

// Their full paths, whether or not they are there: a test that loads a
// missing one reports the reader's failure and fails.
inline std::vector<std::string> RealDocuments() {
    std::vector<std::string> files;
    for (const char* name : kRealDocumentNames) files.push_back(RealDocumentsFolder() + "/" + name);
    return files;
}

}  // namespace tw::test

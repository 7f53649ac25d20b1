// The real PipeDream files from RISC OS and the Z88 that every part of the
// program must handle. They live beside the project, not in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tw::test {

inline std::string RealDocumentsFolder() {
    if (const char* env = std::getenv("TARNWICK_REAL_DOCUMENTS")) return env;
    return TARNWICK_SOURCE_DIR "/../shared/real-documents";
}

inline std::vector<std::string> RealDocuments() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(RealDocumentsFolder(), ec)) {
        if (e.path().extension() == ".pd") files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace tw::test

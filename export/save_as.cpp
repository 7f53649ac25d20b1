#include "export/save_as.h"

#include "document/text.h"

namespace tw {

std::string ProposedSaveName(const std::string& recent, const std::string& selected_entry) {
    std::string name = recent;
    if (name.size() >= 2 && ToUpperAscii(name.substr(name.size() - 2)) == ".L") {
        // The listed document lies in the list's folder; a list named
        // without a folder proposes the entry alone.
        std::size_t slash = name.find_last_of('/');
        name = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + Trim(selected_entry);
    }
    // The last "." anywhere, folders included.
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string SaveOverDocumentText(const std::string& path) {
    return path +
           " is the document on show, and saving over it would destroy it. Nothing was saved; choose "
           "another name.";
}

}  // namespace tw

// The Save As entries and the name they propose.
#pragma once

#include <array>
#include <string>

namespace tw {

struct SaveAsEntry {
    const char* title;
    const char* filter;
    const char* extension;
};

inline constexpr std::array<SaveAsEntry, 3> kSaveAsEntries = {{
    {"Save As RTF", "RTF (*.rtf)|*.rtf", "rtf"},
    {"Save As Text", "Text (*.txt)|*.txt", "txt"},
    {"Save As HTML", "HTML (*.htm)|*.htm", "htm"},
}};

// Ask before overwriting; no read-only box.
inline constexpr long kSaveAsFlags = 0x2 | 0x4;

// The name the Save dialog proposes: the most recent file without its
// extension; for a list file, the selected entry in the list's folder.
std::string ProposedSaveName(const std::string& recent, const std::string& selected_entry);

// The message when the chosen file is the document on show.
std::string SaveOverDocumentText(const std::string& path);

}  // namespace tw

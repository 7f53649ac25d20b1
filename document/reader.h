// Reads a PipeDream file (or any text file, as a one-column document)
// into the document model.
#pragma once

#include <string>

#include "document/model.h"
#include "document/status.h"
#include "platform/services.h"

namespace tw {

// Replaces the loaded document with the file `FileName` (opened with
// surrounding blanks removed) and sets the window caption. Failures are
// reported to the user; whatever was read before a failure stays loaded.
// Returns Failed when the reading was left on a failure.
// The documents it refers to are loaded with it (document/linked_documents.h).
Status ReadPipeDreamFile(Platform& sys, WindowHooks& window, DocumentModel& doc, const std::string& FileName);

// Reads a document that another refers to: nothing is shown or asked, and
// what it refers to in turn is left to the caller. False when it was not
// read whole.
bool ReadSupportingFile(DocumentModel& doc, const std::string& FileName);

// The caption the window shows for a loaded file.
std::string CaptionFor(const DocumentModel& doc, const std::string& FileName);

inline constexpr const char* kAppName = "Tarnwick";

}  // namespace tw

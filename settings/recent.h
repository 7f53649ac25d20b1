// The four recently opened files of the File menu, mirrored in the
// settings file as File1 to File4.
#pragma once

#include <string>

#include "platform/services.h"

namespace tw {

// The path an entry's caption holds ("&2 /docs/a.pd" holds "/docs/a.pd").
std::string RecentPath(RecentMenu& menu, int index);

// Records FileName as the most recent file: trims it and makes it absolute
// against the current folder (the caller sees the result), moves it to
// entry 1, remembers its folder as "InitDir" and makes that folder
// current. A name holding CR or LF is not recorded (the settings file
// cannot hold it); its folder still becomes current. Failures are
// reported as "FilesOld".
void FilesOld(Platform& sys, RecentMenu& menu, std::string& FileName);

}  // namespace tw

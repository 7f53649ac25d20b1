// A small private-profile (INI) module: sections and keys matched without
// regard to case, at most 254 characters of a value read, and writes that
// keep every other line of the file as it was.
#pragma once

#include <string>

namespace tw {

// The value of `key` in `section` of the file at `path`, or `fallback`
// when the file, the section or the key is missing. Surrounding blanks
// are dropped, and one pair of quotes around the whole value.
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                    const std::string& path);

// Stores `value` under `key` in `section`: the key's line is replaced in
// place, or the key is added at the end of its section; a missing section
// is added at the end of the file, a missing file is created. The file is
// replaced whole through a temporary file in its folder. Returns false
// when the file is read-only or its folder missing or not writable.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

}  // namespace tw

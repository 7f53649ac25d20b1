// The command-line converter:
//   tarnwick --convert-to FORMAT FILE... [--outdir DIR | --stdout]
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "document/status.h"

namespace tw {

// True when the arguments ask for the converter rather than the viewer.
bool WantsConverter(int argc, char** argv);

// Runs the converter; returns the process exit status: 0 when every file
// converted, 1 when some did not, 2 for a usage error.
int RunConverter(int argc, char** argv);

// What one conversion holds: the document, the platform, the settings.
struct Conversion;

// A name the user gives a format by, and the extension its outputs get.
struct FormatName {
    const char* name;
    const char* extension;
};

// One format the converter writes. Option parsing, the usage text, the
// "unknown format" message and each file's conversion all read the table.
struct Format {
    FormatName names[2];  // the second has no name when there is one only
    const char* summary;  // its line in the usage text
    bool needs_qt;        // fonts or the printer: Qt is started for it
    bool binary;          // bytes a terminal cannot show: never written to one
    Status (*write)(Conversion& c, const std::string& out);
    // What the writer measures through Qt once, before its first file;
    // nullptr for nothing.
    void (*prepare)(Conversion& c) = nullptr;
};

std::span<const Format> Formats();

// The format called `name` and the extension that name gives, or nullptr.
const Format* FindFormat(std::string_view name, const char** extension = nullptr);

// "rtf, txt, htm, html or pdf"
std::string FormatNamesText();

// The text of --help.
std::string UsageText();

}  // namespace tw

// The command-line converter: tarnwick --convert-to FORMAT FILE... [--outdir DIR]
#pragma once

namespace tw {

// True when the arguments ask for the converter rather than the viewer.
bool WantsConverter(int argc, char** argv);

// Runs the converter; returns the process exit status: 0 when every file
// converted, 1 when some did not, 2 for a usage error.
int RunConverter(int argc, char** argv);

}  // namespace tw

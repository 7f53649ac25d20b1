#pragma once

namespace tw {

// Runs the viewer; the whole command line names the document to open.
int RunViewer(int argc, char** argv);

}  // namespace tw

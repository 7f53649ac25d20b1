// tarnwick: with --convert-to (or --help, --version) the command-line
// converter, otherwise the viewer.
#include "app/convert.h"
#include "app/viewer_main.h"

int main(int argc, char** argv) {
    if (tw::WantsConverter(argc, argv)) return tw::RunConverter(argc, argv);
    return tw::RunViewer(argc, argv);
}

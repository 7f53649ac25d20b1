// Loads a document and prints what was read: its title, its columns with
// their start positions and its rows.
#include <cstdio>
#include <string>

#include "app/console.h"
#include "document/reader.h"
#include "platform/qt/qt_services.h"

int main(int argc, char** argv) {
    std::string name;
    for (int i = 1; i < argc; ++i) name += (i > 1 ? " " : "") + std::string(argv[i]);
    tw::ConsoleMessageBox msg;
    tw::ConsoleInputBox input;
    tw::SystemProcess process;
    tw::NoPointer pointer;
    tw::NoWindow window;
    tw::Platform sys{msg, input, process, pointer};
    tw::DocumentModel doc;
    tw::ReadPipeDreamFile(sys, window, doc, name);
    std::printf("%s\n", tw::CaptionFor(doc, name).c_str());
    std::printf("PipeDream document: %s\n", doc.IsPipeDreamFile ? "yes" : "no");
    std::printf("Page length %d, left margin %d, header \"%s\", footer \"%s\"\n", doc.OptPL, doc.OptLM,
                doc.OptHE.c_str(), doc.OptFO.c_str());
    for (int c = 1; c <= doc.NumCols; ++c) {
        std::printf("Column %s: width %s, starts at %s\n", std::string(doc.Cells(c, -3)).c_str(),
                    std::string(doc.Cells(c, -2)).c_str(), std::string(doc.Cells(c, 0)).c_str());
    }
    for (int r = 1; r <= doc.NumRows; ++r) {
        std::printf("%4d", r);
        for (int c = 1; c <= doc.NumCols; ++c) std::printf(" | %s", std::string(doc.Cells(c, r)).c_str());
        std::printf("\n");
    }
    return msg.Reports() == 0 ? 0 : 1;
}

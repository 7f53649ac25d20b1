// The real viewer, started on a document, that says "drawn" and quits
// once the first page is on its surface: the command line is loaded from
// the event loop, and this probe's own timer runs right after that.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_services.h"
#include "viewer/frmQuillon.h"

int main(int argc, char** argv) {
    std::string line = argc > 1 ? argv[1] : "";
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    tw::QtMessageBox msg;
    tw::QtInputBox input;
    tw::SystemProcess process;
    tw::QtPointer pointer;
    tw::QtCommonDialog dialog;
    tw::Platform sys{msg, input, process, pointer};
    tw::ViewerServices services{sys, dialog};
    tw::DocumentModel doc;
    tw::frmQuillon form(services, doc, line);
    form.Main();
    QTimer::singleShot(0, &form, [&] {
        std::printf("drawn %d rows\n", doc.NumRows);
        std::fflush(stdout);
        QApplication::exit(0);
    });
    return QApplication::exec();
}

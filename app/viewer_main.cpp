#include "app/viewer_main.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/convert.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_services.h"
#include "viewer/desktop.h"
#include "viewer/frmQuillon.h"

namespace tw {

namespace {

bool HaveDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int RunViewer(int argc, char** argv) {
    // The command line is one file name, blanks and all; Qt gets none of it.
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
    if (!HaveDisplay()) {
        std::string formats;
        for (const Format& f : Formats()) {
            for (const FormatName& n : f.names) {
                if (n.name) formats += (formats.empty() ? "" : "|") + std::string(n.name);
            }
        }
        std::fprintf(stderr,
                     "tarnwick: no display to open the window on; run it as 'xvfb-run tarnwick FILE', "
                     "or convert without a window: 'tarnwick --convert-to %s FILE...'\n",
                     formats.c_str());
        return 1;
    }
    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    QApplication app(qt_argc, qt_argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    // Ties the window to its desktop entry, for its icon and name on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwick.Tarnwick"));
    QApplication::setWindowIcon(AppIcon());
    LoadQtTranslations(app, QLocale::system());
    UseProportionalUiFont();

    QtMessageBox msg;
    QtInputBox input;
    SystemProcess process;
    QtPointer pointer;
    QtCommonDialog dialog;
    Platform sys{msg, input, process, pointer};
    ViewerServices services{sys, dialog};
    DocumentModel doc;
    frmQuillon form(services, doc, line);
    msg.SetParent(&form);
    input.SetParent(&form);
    dialog.SetParent(&form);
    form.Main();
    return QApplication::exec();
}

}  // namespace tw

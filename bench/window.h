// The main window on the offscreen platform, shown at one size, for the
// benchmarks that drive it.
#pragma once

#include <QApplication>

#include "platform/fake/fake_dialog.h"
#include "viewer/frmQuillon.h"

namespace tw::bench {

struct ShownWindow {
    fake::FakeDialog dialog;
    ViewerServices services;
    DocumentModel doc;
    frmQuillon w;
    explicit ShownWindow(Platform& sys) : services{sys, dialog}, w(services, doc, "") {
        w.resize(900, 700);
        w.show();
        QApplication::processEvents();
    }
};

}  // namespace tw::bench

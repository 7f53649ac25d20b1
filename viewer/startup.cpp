// Start-up and loading: Main, Form_Load, the command line, LoadFile,
// File Open and the window placement saved at close.
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "document/numbers.h"
#include "document/reader.h"
#include "document/report.h"
#include "document/text.h"
#include "platform/file_uri.h"
#include "settings/recent.h"
#include "viewer/computing.h"
#include "viewer/frmQuillon.h"
#include "viewer/layout_switch.h"

namespace tw {

void frmQuillon::Form_Load() {
    Trap trap(sys_, "Form_Load", ReportFamily::B);
    trap.Run([&] {
        trap.Step([&] {
            SettingsTarget target{sys_, doc_, CrLf, Placement, *this, Surface(), Screen()};
            ReadIniFile(target);
        });
        trap.Step([&] { layouts_->ReadSetting(); });
        trap.Step([&] {
            move(static_cast<int>(std::lround(Placement.WinLeft / tpp_)),
                 static_cast<int>(std::lround(Placement.WinTop / tpp_)));
            resize(static_cast<int>(std::lround(Placement.WinWidth / tpp_)),
                   static_cast<int>(std::lround(Placement.WinHeight / tpp_)));
            MoveOntoAScreen();
        });
        trap.Step([&] {
            switch (Placement.WinState) {
            case 0: setWindowState(Qt::WindowNoState); break;
            case 1: setWindowState(Qt::WindowMinimized); break;
            case 2: setWindowState(Qt::WindowMaximized); break;
            default: throw VbError(kErrInvalidPropertyValue);
            }
        });
    });
}

void frmQuillon::MoveOntoAScreen() {
    // Positions and sizes are in device-independent pixels here. A
    // placement saved at another scale factor, or on a screen that is no
    // longer there, may not fit: it is brought back onto the screen that
    // shows most of it, or onto the primary screen when none shows any.
    QRect wanted(pos(), size());
    QScreen* best = nullptr;
    long long best_area = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        QRect common = s->availableGeometry().intersected(wanted);
        long long shown = static_cast<long long>(common.width()) * common.height();
        if (shown > best_area) {
            best = s;
            best_area = shown;
        }
    }
    bool off_every_screen = best == nullptr;
    if (off_every_screen) best = QGuiApplication::primaryScreen();
    if (!best) return;
    QRect area = best->availableGeometry();
    QSize sz = size().boundedTo(area.size());
    if (sz != size()) resize(sz);
    QPoint at = off_every_screen
                    ? area.topLeft() + QPoint((area.width() - sz.width()) / 2, (area.height() - sz.height()) / 2)
                    : QPoint(std::clamp(wanted.x(), area.left(), area.right() + 1 - sz.width()),
                             std::clamp(wanted.y(), area.top(), area.bottom() + 1 - sz.height()));
    if (at != pos()) move(at);
}

void frmQuillon::Main() {
    Trap trap(sys_, "Main", ReportFamily::A);
    trap.Run([&] {
        trap.Step([&] { show(); });
        // The command line is handled from the event loop once the window
        // is on screen: the label's caption changes, its change event loads.
        trap.Step([&] {
            QTimer::singleShot(0, this, [this] {
                int current = static_cast<int>(Val(lblCheckCommandLine->text().toStdString()));
                lblCheckCommandLine->setText(QString::number(current ^ 1));
                lblCheckCommandLine_Change();
            });
        });
    });
}

void frmQuillon::lblCheckCommandLine_Change() {
    std::string name = Trim(CommandLine_);
    // A file manager or a browser may hand over a file:// URI.
    if (auto path = PathFromFileUri(name)) name = *path;
    if (!name.empty()) LoadFile(AbsoluteName(StartFolder_, name));
}

void frmQuillon::LoadFile(std::string FileName) {
    Trap trap(sys_, "LoadFile", ReportFamily::A);
    trap.Run([&] {
        // Cells made over the old model must not outlive it.
        DocumentChanged(FileName);
        Status read;
        trap.Step([&] { read = ReadPipeDreamFile(sys_, *this, doc_, FileName); });
        if (read.kind == Status::Kind::Failed && read.number == kErrFileNotFound) {
            // Nothing was read: the name is neither recent nor on show.
            SetCaption(kAppName);
        } else if (!doc_.IsPipeDreamFile && doc_.NumCols == 1) {
            bool list = false;
            trap.Step([&] { list = RecognizeList(FileName); });
            if (list) return;
        } else {
            trap.Step([&] { FilesOld(sys_, *this, FileName); });
        }
        mnuFileListFile->setEnabled(false);
        List1->lower();
        VScroll2->setEnabled(false);
        trap.Step([&] { UpdateScrollBar(); });
        trap.Step([&] { GiveFocusToVScroll1(); });
    });
}

void frmQuillon::mnuFileOpen_Click() {
    Trap trap(sys_, "mnuFileOpen_Click", ReportFamily::B);
    trap.OnFailure([](const VbError& e, int) { return e.number() == kErrCancel ? Handling::Leave : Handling::Report; });
    trap.Run([&] {
        CommonDialog& d = services_.CMDialog1;
        d.Filter = "All files (*.*)|*.*|PipeDream (*.pd)|*.pd|PipeDream List file (*.l)|*.l";
        d.Flags = 4;
        d.CancelError = true;
        bool chosen = false;
        trap.Step([&] { chosen = d.ShowOpen(); });
        if (chosen) LoadFile(d.FileName);
    });
}

void frmQuillon::SaveWindowPlacement() {
    int state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    WriteIniFile(sys_, "WindowState", std::to_string(state));
    if (state != 0) return;  // the last normal placement stays stored
    auto twips = [this](int pixels) { return FormatSingle(static_cast<float>(pixels * tpp_)); };
    WriteIniFile(sys_, "Left", twips(pos().x()));
    WriteIniFile(sys_, "Top", twips(pos().y()));
    WriteIniFile(sys_, "Width", twips(width()));
    WriteIniFile(sys_, "Height", twips(height()));
}

void frmQuillon::Form_QueryUnload() { SaveWindowPlacement(); }

void frmQuillon::closeEvent(QCloseEvent* e) {
    // Nothing goes on computing for a window that is gone.
    computing_->Stop();
    Form_QueryUnload();
    e->accept();
}

void frmQuillon::changeEvent(QEvent* e) {
    // Minimising, maximising and restoring are resizes too.
    if (e->type() == QEvent::WindowStateChange && isVisible()) RequestResize();
    QMainWindow::changeEvent(e);
}

}  // namespace tw

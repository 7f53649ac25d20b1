// Layout and scrolling of the main window: Form_Resize, the row bar and
// its keys, the document bar, the page redraw and the focus rule.
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "document/numbers.h"
#include "document/reader.h"
#include "document/report.h"
#include "viewer/computing.h"
#include "viewer/find.h"
#include "viewer/frmQuillon.h"
#include "viewer/layout_switch.h"
#include "viewer/page.h"
#include "viewer/scrolling.h"
#include "viewer/selection.h"

namespace tw {

namespace {

class QtScrollBar : public ScrollBar {
public:
    explicit QtScrollBar(QScrollBar* b) : b_(b) {}
    int Value() const override { return b_->value(); }
    void SetValue(int v) override { b_->setValue(v); }
    int Min() const override { return b_->minimum(); }
    int Max() const override { return b_->maximum(); }
    int SmallChange() const override { return b_->singleStep(); }
    int LargeChange() const override { return b_->pageStep(); }
    bool Enabled() const override { return b_->isEnabled(); }

private:
    QScrollBar* b_;
};

// The virtual-key code of a key: keypad digits only when they come as
// digits (Num Lock on), as 96 to 105.
int VirtualKeyOf(const QKeyEvent* e) {
    int k = e->key();
    if ((e->modifiers() & Qt::KeypadModifier) && k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
    switch (k) {
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_PageUp: return kVkPageUp;
    case Qt::Key_PageDown: return kVkPageDown;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    default: break;
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    return 255;  // a key the table does not name
}

int ShiftOf(const QKeyEvent* e) {
    Qt::KeyboardModifiers m = e->modifiers();
    return ((m & Qt::ShiftModifier) ? kShiftMask : 0) | ((m & Qt::ControlModifier) ? kCtrlMask : 0) |
           ((m & Qt::AltModifier) ? kAltMask : 0);
}

// Twips to whole pixels.
int Px(double twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

}  // namespace

void frmQuillon::RequestResize() {
    // Form_Resize lets pending events run; doing that inside Qt's own
    // delivery of a resize would let them free what that delivery still
    // uses. So it runs from the event loop, once per burst of resizes.
    if (resizeQueued_) return;
    resizeQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { FlushResize(); }, Qt::QueuedConnection);
}

void frmQuillon::FlushResize() {
    if (!resizeQueued_) return;  // already run
    resizeQueued_ = false;
    Form_Resize();
}

void frmQuillon::SetListGrid() {
    // Every list cell is as wide as the longest name (at least as wide as
    // a short "filename.ext"), so no name is cut short; the width left over
    // is shared among as many columns as fit, so a wider window never
    // narrows a cell below that. The list's contents rectangle follows its
    // geometry at once; its viewport only once it is shown and laid out.
    QFontMetricsF fm(List1->font());
    // The item delegate keeps this much clear on each side of the text.
    const int margin = List1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List1) + 1;
    double widest = fm.horizontalAdvance(QStringLiteral("filename.ext   "));
    for (int i = 0; i < List1->count(); ++i) {
        widest = std::max(widest, fm.horizontalAdvance(List1->item(i)->text()) + 2 * margin + fm.averageCharWidth());
    }
    const int cell = static_cast<int>(std::ceil(widest));
    const int room = List1->contentsRect().width();
    const int columns = std::max(room / std::max(cell, 1), 1);
    List1->setGridSize(QSize(std::max(room / columns, cell), static_cast<int>(std::ceil(fm.height())) + 2));
}

void frmQuillon::Form_Resize() {
    // A resize arriving while the procedure runs (from the events it lets
    // run) runs the whole procedure again once this run is over.
    if (inResize_) {
        resizeAgain_ = true;
        return;
    }
    inResize_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inResize_};
    do {
        resizeAgain_ = false;
        LayOut();
    } while (resizeAgain_);
}

void frmQuillon::LayOut() {
    Trap trap(sys_, "Form_Resize", ReportFamily::B);
    trap.Run([&] {
        if (!isMinimized()) {
            const double px = tpp_, py = tpp_;
            auto SW = [&] { return client_->width() * tpp_; };
            auto SH = [&] { return client_->height() * tpp_; };
            // Only the page step can fail: the geometry of the controls is
            // set as it stands.
            if (width() * tpp_ < 3240) resize(Px(3240, tpp_), height());
            if (height() * tpp_ < kTwipsPerInch) resize(width(), Px(kTwipsPerInch, tpp_));
            List1->setGeometry(-1, -1, Px(SW() + 2 * px, tpp_), Px(SH() + 2 * py, tpp_));
            SetListGrid();
            QCoreApplication::processEvents();
            {
                // The list keeps its height whole lines only where the list
                // box snaps; ours does not, so this rarely changes anything.
                double listHeight = List1->height() * tpp_ - 2 * py;
                if (!isMaximized() && !isFullScreen() && listHeight < SH() - 0.5) {
                    resize(width(), Px(height() * tpp_ - (SH() - listHeight), tpp_));
                }
            }
            QCoreApplication::processEvents();
            {
                int w = VScroll1->sizeHint().width();
                VScroll1->setGeometry(Px(SW() - w * tpp_ + px, tpp_), Px(240 - py, tpp_), w,
                                      std::max(Px(SH() + 2 * px - 480, tpp_), 0));
                VScroll2->setGeometry(Px(SW() - VScroll1->width() * tpp_ + px, tpp_), Px(-py, tpp_), VScroll1->width(),
                                      Px(SH() + 2 * px, tpp_));
            }
            picPrintableArea->setGeometry(0, 0, std::max(client_->width() - VScroll1->width(), 1), client_->height());
            trap.Step([&] {
                double h = Surface().TextHeight("A");
                double large = RoundHalfEven((SH() - picPrintableArea->y() * tpp_) / h - 1);
                // The row bar takes a page step of 1 to 32767 only.
                if (!(large >= 1 && large <= 32767)) throw VbError(kErrInvalidPropertyValue);
                VScroll1->setPageStep(static_cast<int>(large));
                UpdateScrollBar();
            });
        }
        trap.Step([&] { SaveWindowPlacement(); });
    });
}

void frmQuillon::UpdateScrollBar() {
    int large = VScroll1->pageStep();
    VScroll1->setMaximum(doc_.NumRows > large ? doc_.NumRows - large : VScroll1->minimum());
    if (VScroll1->value() != VScroll1->minimum()) VScroll1->setValue(VScroll1->minimum());
    if (doc_.NumRows != 0) VScroll1_Change();
    EnableEditAndView();
}

namespace {

// A rule across the page at the top of each row drawn that a hard page
// break starts; `tops` holds the rows' tops from row `first` on.
void MarkPageBreaks(PixmapCanvas& surface, const ShownCells& cells, int first, const std::vector<double>& tops) {
    for (std::size_t i = 0; i < tops.size(); ++i) {
        if (cells.PageBreak(first + static_cast<int>(i)) == 0) surface.DrawRule(tops[i]);
    }
}

}  // namespace

void frmQuillon::VScroll1_Change() {
    // A found text is marked until the page next moves.
    if (!inPlace_) find_->PageMoved();
    PageMarks marks = selection_->Marks();
    find_->Mark(marks);
    Trap trap(sys_, "VScroll1_Change", ReportFamily::B);
    trap.Run([&] {
        trap.Step([&] {
            const ShownCells& cells = layouts_->Shown();
            // Values not yet computed show as placeholders and fill in
            // from the event loop, so a long computation never holds the
            // window.
            cells.SetDeferred(true);
            struct Undefer {
                const ShownCells& c;
                ~Undefer() { c.SetDeferred(false); }
            } undefer{cells};
            DrawPage(Surface(), doc_, cells, VScroll1->value(), VScroll1->pageStep(), Scripts, marks, &rowTops_);
            MarkPageBreaks(Surface(), cells, VScroll1->value(), rowTops_);
        });
    });
    computing_->PageDrawn();
    // What was drawn stays, also after a failure.
    picPrintableArea->update();
}

void frmQuillon::RedrawInPlace() {
    inPlace_ = true;
    VScroll1_Change();
    inPlace_ = false;
}

void frmQuillon::RefitKeepingRow(int row) {
    // As many rows as the page's height holds in the font as drawn.
    double line = Surface().TextHeight("A");
    double large = line > 0 ? RoundHalfEven(picPrintableArea->height() * tpp_ / line - 1) : 0;
    if (large >= 1 && large <= 32767) VScroll1->setPageStep(static_cast<int>(large));
    int rows = doc_.NumRows, page = VScroll1->pageStep();
    {
        QSignalBlocker quiet(VScroll1);
        VScroll1->setMaximum(rows > page ? rows - page : VScroll1->minimum());
        VScroll1->setValue(std::clamp(row, VScroll1->minimum(), VScroll1->maximum()));
    }
    if (rows != 0) VScroll1_Change();
}

void frmQuillon::VScroll2_Change() {
    List1->setCurrentRow(VScroll2->value());
    std::string entry;
    if (QListWidgetItem* item = List1->item(VScroll2->value()))
        entry = item->data(Qt::UserRole).toByteArray().toStdString();
    DocumentChanged(entry);
    ReadPipeDreamFile(sys_, *this, doc_, entry);
    UpdateScrollBar();
    GiveFocusToVScroll1();
}

bool frmQuillon::VScroll1_KeyDown(int KeyCode, int Shift) {
    QtScrollBar v1(VScroll1), v2(VScroll2);
    tw::VScroll1_KeyDown(v1, v2, KeyCode, Shift, [this] { mnuFileExit_Click(); });
    return KeyCode != 0;
}

bool frmQuillon::eventFilter(QObject* watched, QEvent* e) {
    if (watched == VScroll1 && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        // Swallowed keys stop here; the rest get the bar's own handling.
        return !VScroll1_KeyDown(VirtualKeyOf(k), ShiftOf(k));
    }
    if (watched == List1 && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape) {  // List1_KeyDown
            mnuFileExit_Click();
            return true;
        }
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {  // List1_KeyPress
            List1_DblClick();
            return true;
        }
    }
    if (watched == client_ && e->type() == QEvent::Resize) RequestResize();
    if (watched == client_ && e->type() == QEvent::FocusIn) GiveFocusToVScroll1();  // Form_GotFocus
    return QMainWindow::eventFilter(watched, e);
}

}  // namespace tw

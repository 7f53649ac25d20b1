// Find: the find bar, Find Next and Find Previous, and the found text
// marked on the page.
#include <QLayout>
#include <QScrollBar>

#include "platform/qt/qt_services.h"
#include "viewer/find_bar.h"
#include "viewer/frmQuillon.h"

namespace tw {

void frmQuillon::createFindBar() {
    findBar_ = new FindBar(this);
    addToolBar(Qt::BottomToolBarArea, findBar_);
    findBar_->hide();
    connect(findBar_, &FindBar::findRequested, this, [this](bool forward) { FindAgain(forward); });
    connect(findBar_, &FindBar::closeRequested, this, [this] {
        SetFindBarVisible(false);
        GiveFocusToVScroll1();
    });
}

void frmQuillon::SetFindBarVisible(bool visible) {
    if (findBar_->isVisible() == visible) return;
    // The page's height changes, which lays the window out again and
    // returns the page to the top; the row on show stays on show.
    // The row does not move, so a found text stays marked.
    int row = VScroll1->value();
    std::optional<FoundText> found = found_;
    findBar_->setVisible(visible);
    if (layout()) layout()->activate();
    FlushResize();
    found_ = found;
    keepFound_ = true;
    RefitKeepingRow(row);
    keepFound_ = false;
}

void frmQuillon::mnuEditFind_Click() {
    SetFindBarVisible(true);
    findBar_->FocusText();
}

void frmQuillon::FindAgain(bool forward) {
    if (!mnuEditFind->isEnabled()) return;
    SetFindBarVisible(true);
    QString wanted = findBar_->Text();
    if (wanted.isEmpty()) {
        findBar_->FocusText();
        return;
    }
    findBar_->SetStatus(QString());
    std::string needle = ToCp1252(wanted);
    // A character the document's character set has no place for is in no cell.
    if (FromCp1252(needle) != wanted) {
        findBar_->SetStatus(QStringLiteral("Not found"));
        return;
    }
    // On from the found text while it is marked, else from the row on show.
    TextPlace from{VScroll1->value(), 1, 0};
    if (found_) from = {found_->row, found_->column, forward ? found_->start + found_->length : found_->start};
    // The text as the layout on show shows it.
    FindOutcome outcome = FindText(doc_, Shown(), FindRequest{needle, findBar_->MatchCase(), forward}, from);
    if (!outcome.match) {
        findBar_->SetStatus(QStringLiteral("Not found"));
        return;
    }
    if (outcome.wrapped) {
        findBar_->SetStatus(forward ? QStringLiteral("Passed the end; continued from the top")
                                    : QStringLiteral("Passed the top; continued from the bottom"));
    }
    ShowFound(*outcome.match);
}

void frmQuillon::ShowFound(const FoundText& m) {
    found_ = m;
    int top = VScroll1->value();
    bool on_page = m.row >= top && m.row < top + VScroll1->pageStep();
    int wanted = std::clamp(m.row, VScroll1->minimum(), VScroll1->maximum());
    if (on_page || wanted == top) {
        RedrawInPlace();
        return;
    }
    // The move that brings the row on show is the one that marks it.
    keepFound_ = true;
    VScroll1->setValue(wanted);
    keepFound_ = false;
}

void frmQuillon::RedrawInPlace() {
    keepFound_ = true;
    VScroll1_Change();
    keepFound_ = false;
}

}  // namespace tw

#include "viewer/find.h"

#include <QScrollBar>
#include <algorithm>

#include "platform/qt/qt_services.h"
#include "viewer/find_bar.h"

namespace tw {

PageFind::PageFind(QWidget* parent, const DocumentModel& doc, QScrollBar& rows, FindHooks hooks)
    : doc_(doc), rows_(rows), hooks_(std::move(hooks)), bar_(new FindBar(parent)) {
    QObject::connect(bar_, &FindBar::findRequested, bar_, [this](bool forward) { Again(forward); });
    QObject::connect(bar_, &FindBar::closeRequested, bar_, [this] {
        SetBarVisible(false);
        hooks_.focusPage();
    });
}

void PageFind::SetBarVisible(bool visible) {
    if (bar_->isVisible() == visible) return;
    // The page's height changes, which lays the window out again and
    // returns the page to the top; the row on show stays on show.
    // The row does not move, so a found text stays marked.
    int row = rows_.value();
    std::optional<FoundText> found = found_;
    bar_->setVisible(visible);
    hooks_.layOut();
    found_ = found;
    moving_ = true;
    hooks_.refit(row);
    moving_ = false;
}

void PageFind::Open() {
    SetBarVisible(true);
    bar_->FocusText();
}

void PageFind::Again(bool forward) {
    if (!hooks_.usable()) return;
    SetBarVisible(true);
    QString wanted = bar_->Text();
    if (wanted.isEmpty()) {
        bar_->FocusText();
        return;
    }
    bar_->SetStatus(QString());
    std::string needle = ToCp1252(wanted);
    // A character the document's character set has no place for is in no cell.
    if (FromCp1252(needle) != wanted) {
        bar_->SetStatus(QStringLiteral("Not found"));
        return;
    }
    // On from the found text while it is marked, else from the row on show.
    TextPlace from{rows_.value(), 1, 0};
    if (found_) from = {found_->row, found_->column, forward ? found_->start + found_->length : found_->start};
    // The text as the layout on show shows it.
    FindOutcome outcome = FindText(doc_, hooks_.shown(), FindRequest{needle, bar_->MatchCase(), forward}, from);
    if (!outcome.match) {
        bar_->SetStatus(QStringLiteral("Not found"));
        return;
    }
    if (outcome.wrapped) {
        bar_->SetStatus(forward ? QStringLiteral("Passed the end; continued from the top")
                                : QStringLiteral("Passed the top; continued from the bottom"));
    }
    Show(*outcome.match);
}

void PageFind::Show(const FoundText& m) {
    found_ = m;
    int top = rows_.value();
    bool on_page = m.row >= top && m.row < top + rows_.pageStep();
    int wanted = std::clamp(m.row, rows_.minimum(), rows_.maximum());
    if (on_page || wanted == top) {
        hooks_.redraw();
        return;
    }
    // The move that brings the row on show is the one that marks it.
    moving_ = true;
    rows_.setValue(wanted);
    moving_ = false;
}

void PageFind::PageMoved() {
    if (!moving_) found_.reset();
}

void PageFind::Mark(PageMarks& marks) const {
    if (!found_) return;
    marks.found_row = found_->row;
    marks.found_column = found_->column;
    marks.found = ShownRange{found_->start, found_->length};
}

}  // namespace tw

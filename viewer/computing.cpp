#include "viewer/computing.h"

#include <QLabel>
#include <QWidget>

namespace tw {

PageComputing::PageComputing(QWidget* page, std::function<const ShownCells*()> cells, std::function<void()> redraw)
    : QObject(page), page_(page), cells_(std::move(cells)), redraw_(std::move(redraw)), note_(new QLabel(page)) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &PageComputing::Slice);
    note_->setText(QStringLiteral("Computing values\u2026"));
    note_->setAutoFillBackground(true);
    note_->setMargin(3);
    note_->hide();
}

void PageComputing::PageDrawn() {
    const ShownCells* cells = cells_();
    if (!cells || !cells->Waiting()) return;
    if (!since_.isValid()) since_.start();
    if (!timer_.isActive()) timer_.start();
}

void PageComputing::Stop() {
    timer_.stop();
    since_.invalidate();
    note_->hide();
}

void PageComputing::Slice() {
    const ShownCells* cells = cells_();
    if (!cells) {
        Stop();
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(slice_ms_);
    bool done = cells->ComputeWaiting(deadline);
    if (!done) {
        if (since_.elapsed() >= kNoteAfterMs && !note_->isVisible()) {
            PlaceNote();
            note_->show();
            note_->raise();
        }
        return;
    }
    timer_.stop();
    // The redraw shows the values, and may find more cells to compute.
    redraw_();
    if (!timer_.isActive()) Stop();
}

void PageComputing::PlaceNote() {
    note_->adjustSize();
    note_->move(0, page_->height() - note_->height());
}

}  // namespace tw

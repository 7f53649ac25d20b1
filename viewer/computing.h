// Fills in the PipeDream layout's values while the window stays
// answerable: the page is drawn at once, cells still to compute show a
// placeholder, and the values are computed in slices between the
// window's events; past half a second a note at the foot of the page says
// so. Keys, Escape and page changes are handled between two slices.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

#include "document/shown_text.h"

class QLabel;
class QWidget;

namespace tw {

class PageComputing : public QObject {
    Q_OBJECT
public:
    // `cells` gives the cells on show (or null), `redraw` draws the page
    // again without moving; the note is a child of `page`.
    PageComputing(QWidget* page, std::function<const ShownCells*()> cells, std::function<void()> redraw);

    // After each redraw: computes what the page waits for, if anything.
    void PageDrawn();
    // The cells on show are going away: nothing more is computed for them.
    void Stop();
    bool Busy() const { return timer_.isActive(); }
    // The note at the foot of the page, shown while computing takes long.
    QLabel* Note() const { return note_; }

    // How long one slice may compute before the window gets its turn.
    static constexpr int kSliceMs = 25;
    void SetSliceMs(int ms) { slice_ms_ = ms; }
    // How long computing goes on before the note shows.
    static constexpr int kNoteAfterMs = 500;

private:
    void Slice();
    void PlaceNote();

    QWidget* page_;
    std::function<const ShownCells*()> cells_;
    std::function<void()> redraw_;
    QTimer timer_;
    QElapsedTimer since_;
    QLabel* note_;
    int slice_ms_ = kSliceMs;
};

}  // namespace tw

// Zoom: the page drawn larger or smaller, from the row on show. The font
// asked for (the Font setting, printing, the RTF export) stays as it is,
// and nothing of it is stored.
#include "viewer/zoom.h"

#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "document/numbers.h"
#include "viewer/frmQuillon.h"

namespace tw {

double frmQuillon::Zoom() const { return picPrintableArea->canvas.Zoom(); }

void frmQuillon::StepZoom(int steps) { SetZoom(ZoomStep(Zoom(), steps)); }

void frmQuillon::mnuViewActualSize_Click() { SetZoom(1.0); }

void frmQuillon::SetZoom(double zoom) {
    if (zoom == Zoom()) return;
    int row = VScroll1->value();
    Surface().SetZoom(zoom);
    RefitKeepingRow(row);
    EnableEditAndView();
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

}  // namespace tw

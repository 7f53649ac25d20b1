#include "viewer/zoom.h"

#include "platform/qt/qt_canvas.h"

namespace tw {

PageZoom::PageZoom(PixmapCanvas& page, std::function<void()> changed) : page_(page), changed_(std::move(changed)) {}

double PageZoom::Factor() const { return page_.Zoom(); }

void PageZoom::Set(double zoom) {
    if (zoom == Factor()) return;
    page_.SetZoom(zoom);
    changed_();
}

}  // namespace tw

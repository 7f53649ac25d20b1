#include "platform/canvas.h"

#include "platform/errors.h"

namespace tw {

void Canvas::SetFontName(const std::string& name) {
    if (name.empty()) throw VbError(kErrInvalidPropertyValue);
    name_ = name;
    size_ = FontChanged();
}

void Canvas::SetFontSize(float points) {
    // Sizes beyond 2160 points are not fonts any surface can draw.
    if (!(points > 0) || points > 2160) throw VbError(kErrInvalidPropertyValue);
    size_ = points;
    size_ = FontChanged();
}

}  // namespace tw

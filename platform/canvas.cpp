#include "platform/canvas.h"

#include "platform/errors.h"

namespace tw {

void Canvas::SetFontName(const std::string& name) {
    if (name.empty()) throw VbError(kErrInvalidPropertyValue);
    name_ = name;
    size_ = FontChanged();
}

void Canvas::SetFontSize(float points) {
    if (!IsDrawableFontSize(points)) throw VbError(kErrInvalidPropertyValue);
    size_ = points;
    size_ = FontChanged();
}

}  // namespace tw

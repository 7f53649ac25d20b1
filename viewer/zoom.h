// Zoom: the page drawn larger or smaller, in steps from half to four
// times, from the row on show. The font asked for (the Font setting,
// printing, the RTF export) stays as it is, and nothing of it is stored.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>

namespace tw {

inline constexpr std::array<double, 13> kZoomSteps = {0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25,
                                                      1.5, 1.75, 2.0, 2.5, 3.0, 4.0};

// The step `steps` away from `zoom` (from the nearest step when `zoom` is
// between two), kept within the first and last step.
inline double ZoomStep(double zoom, int steps) {
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < kZoomSteps.size(); ++i) {
        if (std::fabs(kZoomSteps[i] - zoom) < std::fabs(kZoomSteps[nearest] - zoom)) nearest = i;
    }
    long long to = static_cast<long long>(nearest) + steps;
    to = std::clamp<long long>(to, 0, static_cast<long long>(kZoomSteps.size()) - 1);
    return kZoomSteps[static_cast<std::size_t>(to)];
}

class PixmapCanvas;

class PageZoom {
public:
    // `changed` runs after each change of the zoom of `page`: the page is
    // drawn again from the row on show.
    PageZoom(PixmapCanvas& page, std::function<void()> changed);

    double Factor() const;
    void In() { Step(+1); }
    void Out() { Step(-1); }
    void ActualSize() { Set(1.0); }

private:
    void Step(int steps) { Set(ZoomStep(Factor(), steps)); }
    void Set(double zoom);

    PixmapCanvas& page_;
    std::function<void()> changed_;
};

}  // namespace tw

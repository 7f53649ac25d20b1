// Fonts and lengths as every surface and writer counts them: twips (a
// twentieth of a point) and points.
#pragma once

namespace tw {

// The screen font until the user picks another; printing and the RTF
// export use it too.
inline constexpr const char* kDefaultFontName = "Courier New";
inline constexpr float kDefaultFontSize = 9;
// Sizes beyond 2160 points are not fonts any surface can draw.
inline constexpr float kMaxFontSize = 2160;
inline bool IsDrawableFontSize(double points) { return points > 0 && points <= kMaxFontSize; }

inline constexpr double kTwipsPerInch = 1440;
// Twips per pixel of a device of `dpi` dots per inch; `assumed_dpi` where
// the device reports none.
inline double TwipsPerPixel(double dpi, double assumed_dpi) { return kTwipsPerInch / (dpi > 0 ? dpi : assumed_dpi); }

// The width of "0" in a font, and the height of its line, in twips.
struct FontMeasures {
    float zero_width = 0;
    float zero_height = 0;
};

// A printer's paper and the width it prints on, in twips.
struct PaperSize {
    float page_width = 0;
    float page_height = 0;
    float printable_width = 0;
};

}  // namespace tw

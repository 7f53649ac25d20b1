// A canvas that records every text drawn, with its position and font, and
// measures with simple fixed-pitch metrics: a character is 0.6 of the size
// wide, a line 1.25 of it high (9 points: 108 by 225 twips).
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"

namespace tw::fake {

struct Drawn {
    std::string text;
    double x, y;
    float size;
    bool bold, italic, underline;
    int page;
};

class RecordingCanvas : public PrinterCanvas {
public:
    std::vector<Drawn> drawn;
    int clears = 0;
    // Printer side.
    double scale_width = 11000, scale_height = 15000, page_width = 11906;
    int page = 1;
    bool page_pending = true;        // the page is counted but nothing is on it yet
    std::vector<int> pages_started;  // pages that got something on them
    bool ended = false;

    double TextWidth(std::string_view text) override {
        measured_chars += static_cast<long long>(text.size());
        return static_cast<double>(text.size()) * static_cast<double>(size_) * 12.0;
    }
    double TextHeight(std::string_view) override { return static_cast<double>(size_) * 25.0; }
    // Where text stops showing; by default nowhere, so tests see every
    // text whole.
    double right_edge = kMeasureAll;
    double RightEdge() override { return right_edge; }
    // Texts measured, and their characters, counted to show that text
    // past the edge is not measured.
    long long measured_chars = 0;
    // Where bands were shaded (x of each).
    std::vector<double> shaded;
    void Shade(double x, double, double, double, Band) override { shaded.push_back(x); }

    double scale = 1;  // as SetScale left it
    void SetScale(double factor) override { scale = factor; }
    double ScaleWidth() override { return scale_width / scale; }
    double ScaleHeight() override { return scale_height / scale; }
    double PageWidth() override { return page_width / scale; }
    int Page() override { return page; }
    void NewPage() override {
        ++page;
        page_pending = true;
        SetCurrentX(0);
        SetCurrentY(0);
    }
    void EndDoc() override { ended = true; }

    // All text drawn, in order, joined.
    std::string Text() const {
        std::string s;
        for (const auto& d : drawn) s += d.text;
        return s;
    }

protected:
    void Clear() override {
        ++clears;
        drawn.clear();
    }
    void Touch() override {
        if (!page_pending) return;
        page_pending = false;
        pages_started.push_back(page);
    }
    void DrawText(double x, double y, std::string_view text) override {
        drawn.push_back({std::string(text), x, y, size_, bold_, italic_, underline_, page});
    }
};

}  // namespace tw::fake

// A drawing surface in twips: the screen page, the printer page, and the
// recording canvas of the tests. It keeps the drawing state (current
// position and font); the implementation draws and measures.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/measures.h"

namespace tw {

class Canvas {
public:
    virtual ~Canvas() = default;

    // Clears the surface; the position returns to (0, 0).
    virtual void Cls() {
        x_ = y_ = 0;
        Clear();
    }

    double CurrentX() const { return x_; }
    double CurrentY() const { return y_; }
    void SetCurrentX(double x) { x_ = x; }
    void SetCurrentY(double y) { y_ = y; }

    const std::string& FontName() const { return name_; }
    float FontSize() const { return size_; }
    bool FontBold() const { return bold_; }
    bool FontItalic() const { return italic_; }
    bool FontUnderline() const { return underline_; }

    // An empty name or a size of 0 or less is an invalid property value
    // (VbError 380). The size in force afterwards is the one the surface
    // reports.
    void SetFontName(const std::string& name);
    void SetFontSize(float points);
    void SetFontBold(bool b) { SetStyle(bold_, b); }
    void SetFontItalic(bool b) { SetStyle(italic_, b); }
    void SetFontUnderline(bool b) { SetStyle(underline_, b); }

    // Draws `text` (Windows-1252 bytes) with its top at the current
    // position; CurrentX advances by its width. Only what can show is
    // drawn and measured: text from the surface's right edge on is
    // skipped, and CurrentX then stops at or past the edge, where nothing
    // more of the line can show either. A line of millions of characters
    // thus costs no more to draw than the surface is wide.
    void Print(std::string_view text) {
        Touch();
        if (text.empty()) return;
        const double right = RightEdge();
        if (x_ >= right) return;
        if (right - x_ < kMeasureAll) text = text.substr(0, CountWithin(text, right - x_));
        DrawText(x_, y_, text);
        x_ += TextWidth(text);
    }
    // Ends the line: CurrentX = 0, CurrentY advances by one line.
    void EndLine() {
        Touch();
        x_ = 0;
        y_ += TextHeight("A");
    }

    virtual double TextWidth(std::string_view text) = 0;
    virtual double TextHeight(std::string_view text) = 0;

    // Paints a band behind what is drawn next: a found text or selected
    // rows. Surfaces without such marks (the printer) ignore it.
    enum class Band { Found, Selected };
    virtual void Shade(double /*x*/, double /*y*/, double /*width*/, double /*height*/, Band) {}

    // Where text stops showing, in twips from the surface's left edge.
    virtual double RightEdge() { return kMeasureAll; }

protected:
    // An edge this far out (or none) measures every text whole.
    static constexpr double kMeasureAll = 1e300;

    // The number of leading characters of `text` that reach `room` twips
    // (all of them when they do not): the last one may cross the edge.
    virtual std::size_t CountWithin(std::string_view text, double room) {
        double width = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            width += TextWidth(text.substr(i, 1));
            if (width >= room) return i + 1;
        }
        return text.size();
    }

    virtual void Clear() = 0;
    // Something is about to be put on the surface (a printer starts a
    // pending page here).
    virtual void Touch() {}
    virtual void DrawText(double x, double y, std::string_view text) = 0;
    // Called after every font change; may adjust the size to what the
    // surface can show and return it.
    virtual float FontChanged() { return size_; }

    std::string name_ = kDefaultFontName;
    float size_ = kDefaultFontSize;
    bool bold_ = false, italic_ = false, underline_ = false;

private:
    void SetStyle(bool& field, bool value) {
        if (field == value) return;
        field = value;
        size_ = FontChanged();
    }

    double x_ = 0, y_ = 0;
};

// The printer page. NewPage counts the next page at once but starts it
// only when something is put on it (text or a line end), so ending the
// document right after NewPage adds no blank page.
class PrinterCanvas : public Canvas {
public:
    // The printable area and the paper width, in twips.
    virtual double ScaleWidth() = 0;
    virtual double ScaleHeight() = 0;
    virtual double PageWidth() = 0;
    // Nothing prints beyond the printable area.
    double RightEdge() override { return ScaleWidth(); }
    // Prints everything `factor` times its size (0 < factor <= 1) from the
    // next thing put on the page on; the printable area and the paper,
    // measured in the document's twips, grow by 1 / factor.
    virtual void SetScale(double factor) = 0;
    // The current page number, 1 on the first page.
    virtual int Page() = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
};

}  // namespace tw

#include "document/cell_drawing.h"

#include <algorithm>

#include "document/markup.h"

namespace tw {

namespace {

class CanvasSink : public ControlSink {
public:
    CanvasSink(Canvas& c, ScriptFlags& f, ShownRange found = {}) : c_(c), f_(f), found_(found) {}

    void Text(std::string_view t) override {
        std::size_t from = drawn_, to = drawn_ + t.size();
        drawn_ = to;
        std::size_t a = found_.start, b = found_.start + found_.length;
        if (found_.length == 0 || b <= from || a >= to) {
            c_.Print(t);
            return;
        }
        // Only the found characters of this piece get the band.
        std::size_t s = std::max(a, from) - from, e = std::min(b, to) - from;
        c_.Print(t.substr(0, s));
        std::string_view inside = t.substr(s, e - s);
        // Text past the right edge is not drawn, so neither is its band.
        if (c_.CurrentX() < c_.RightEdge()) {
            c_.Shade(c_.CurrentX(), c_.CurrentY(), c_.TextWidth(inside), c_.TextHeight("A"), Canvas::Band::Found);
        }
        c_.Print(inside);
        c_.Print(t.substr(e));
    }

    // The surface's own state is toggled, not the cell's: highlights left
    // on by an earlier cell are switched off by the same code.
    void Toggle(Highlight h, bool) override {
        switch (h) {
        case Highlight::Underline: c_.SetFontUnderline(!c_.FontUnderline()); break;
        case Highlight::Bold: c_.SetFontBold(!c_.FontBold()); break;
        case Highlight::Italic: c_.SetFontItalic(!c_.FontItalic()); break;
        case Highlight::Subscript:
            f_.InSubscript = !f_.InSubscript;
            if (f_.InSubscript) {
                c_.SetCurrentY(c_.CurrentY() + c_.TextHeight("A") / 3);
                c_.SetFontSize(c_.FontSize() * 2 / 3);
            } else {
                EndSubscript();
            }
            break;
        case Highlight::Superscript:
            f_.InSuperscript = !f_.InSuperscript;
            if (f_.InSuperscript) {
                c_.SetCurrentY(c_.CurrentY() - c_.TextHeight("A") / 4);
                c_.SetFontSize(c_.FontSize() * 2 / 3);
            } else {
                EndSuperscript();
            }
            break;
        }
    }

    // Sizes are restored by scaling the size in force, not by
    // remembering the old one.
    void EndSubscript() {
        c_.SetFontSize(c_.FontSize() * 3 / 2);
        c_.SetCurrentY(c_.CurrentY() - c_.TextHeight("A") / 3);
    }
    void EndSuperscript() {
        c_.SetFontSize(c_.FontSize() * 3 / 2);
        c_.SetCurrentY(c_.CurrentY() + c_.TextHeight("A") / 4);
    }

    void Reset() {
        c_.SetFontUnderline(false);
        c_.SetFontBold(false);
        c_.SetFontItalic(false);
        if (f_.InSubscript) {
            f_.InSubscript = false;
            EndSubscript();
        }
        if (f_.InSuperscript) {
            f_.InSuperscript = false;
            EndSuperscript();
        }
    }

private:
    Canvas& c_;
    ScriptFlags& f_;
    ShownRange found_;
    std::size_t drawn_ = 0;  // characters drawn so far
};

}  // namespace

void DrawMarkedCell(Canvas& canvas, std::string_view text, ScriptFlags& flags) {
    DrawMarkedCell(canvas, text, flags, ShownRange{});
}

void DrawMarkedCell(Canvas& canvas, std::string_view text, ScriptFlags& flags, ShownRange found) {
    CanvasSink sink(canvas, flags, found);
    ControlResult r = ControlPass(text, LonePercent::Keep, sink);
    if (!r.lone_percent) sink.Reset();
}

}  // namespace tw

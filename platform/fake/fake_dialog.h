// A common dialog that answers from a script and records how it was set up.
#pragma once

#include <charconv>
#include <deque>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/dialogs.h"
#include "platform/fake/recording_canvas.h"

namespace tw::fake {

// A printer that leaves all its text, and what it drew, behind when the
// command is done with it.
class KeptCanvas : public RecordingCanvas {
public:
    KeptCanvas(std::string& text, std::vector<Drawn>& shapes, double& kept_scale)
        : text_(text), drawn_(shapes), scale_(kept_scale) {}
    ~KeptCanvas() override {
        text_ = Text();
        drawn_ = drawn;
        scale_ = scale;
    }

private:
    std::string& text_;
    std::vector<Drawn>& drawn_;
    double& scale_;
};

class FakeDialog : public CommonDialog {
public:
    struct Shown {
        std::string kind, filter, file_name, title, default_ext, font_name;
        long flags;
        bool cancel_error;
        float font_size;
    };
    // One answer per dialog shown: a file name (or "font name|size" for
    // the font dialog, anything for the print dialog); nullopt cancels.
    std::deque<std::optional<std::string>> answers;
    std::vector<Shown> shown;
    // All text of the last printer handed out, and what it drew, once it
    // was let go (the command owns the printer and ends it).
    std::string printed;
    std::vector<Drawn> printed_drawn;
    double printed_scale = 1;  // the size it printed at
    // Where printing goes; handed out by Printer().
    std::unique_ptr<RecordingCanvas> next_printer = std::make_unique<KeptCanvas>(printed, printed_drawn, printed_scale);

    bool ShowOpen() override { return Answer("open", FileName); }
    bool ShowSave() override { return Answer("save", FileName); }
    // The print dialog's answer names the choices ticked: "landscape",
    // "fit-width", both or neither.
    bool ShowPrinter() override {
        std::string ticked;
        if (!Answer("print", ticked)) return false;
        PrintLandscape = ticked.find("landscape") != std::string::npos;
        PrintFitWidth = ticked.find("fit-width") != std::string::npos;
        return true;
    }
    bool ShowFont() override {
        std::string font;
        if (!Answer("font", font)) return false;
        auto bar = font.find('|');
        FontName = font.substr(0, bar);
        std::string_view size = std::string_view(font).substr(bar + 1);
        std::from_chars(size.data(), size.data() + size.size(), FontSize);
        return true;
    }
    std::unique_ptr<PrinterCanvas> Printer() override {
        auto p = std::move(next_printer);
        next_printer = std::make_unique<KeptCanvas>(printed, printed_drawn, printed_scale);
        return p;
    }

private:
    bool Answer(const char* kind, std::string& into) {
        shown.push_back({kind, Filter, FileName, DialogTitle, DefaultExt, FontName, Flags, CancelError, FontSize});
        if (answers.empty()) throw std::logic_error(std::string(kind) + " dialog shown without a scripted answer");
        auto a = answers.front();
        answers.pop_front();
        if (!a) return Cancelled();
        into = *a;
        return true;
    }
};

}  // namespace tw::fake

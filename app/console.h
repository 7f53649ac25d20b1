// Services for running without a window: where a person would be asked,
// the safe answer is taken without blocking, and nothing is printed; the
// converter words its own line from what each step returns.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/services.h"

namespace tw {

class ConsoleMessageBox : public MessageBox {
public:
    // Abort for Abort/Retry/Ignore, No for Yes/No: nothing is retried and
    // no error log is written behind the user's back.
    MsgResult Show(const std::string&, MsgButtons buttons, MsgIcon) override {
        if (buttons == MsgButtons::YesNo) return MsgResult::No;
        if (buttons == MsgButtons::AbortRetryIgnore) return MsgResult::Abort;
        return MsgResult::OK;
    }
};

class ConsoleInputBox : public InputBox {
public:
    // Takes the proposed answer; asked the same again, gives up (Cancel)
    // rather than go round for ever.
    std::string Ask(const std::string& prompt, const std::string&, const std::string& proposed) override {
        std::string key = prompt + '\n' + proposed;
        if (key == last_) return "";
        last_ = key;
        return proposed;
    }

private:
    std::string last_;
};

class NoPointer : public Pointer {
public:
    void SetHourglass(bool) override {}
};

class NoWindow : public WindowHooks {
public:
    void SetCaption(const std::string&) override {}
    void ClearSurface() override {}
};

// One line on a terminal that says how far a conversion has come,
// rewritten in place ("\r") and erased before anything else is printed
// and at the end. Silent unless switched on (stderr is a terminal and
// the user did not ask for quiet).
class ProgressLine {
public:
    ProgressLine(std::FILE* out, bool on) : out_(out), on_(on) {}
    ~ProgressLine() { Erase(); }

    // The file in hand, as "[i/n] name" in a batch.
    void File(std::size_t index, std::size_t count, const std::string& name) {
        file_ = count > 1 ? "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + name : name;
        Show(file_, true);
    }
    // Pages printed of the file in hand; the first always shows.
    void Pages(int printed) {
        Show(file_ + ": " + std::to_string(printed) + (printed == 1 ? " page" : " pages") + " printed", printed == 1);
    }
    // Erases the line, so that what follows starts on a clean one.
    void Erase() {
        if (!shown_) return;
        std::fputs("\r\x1b[K", out_);
        std::fflush(out_);
        shown_ = false;
    }

private:
    // At most ten updates a second, but for those that must show.
    void Show(const std::string& text, bool now) {
        if (!on_) return;
        auto t = std::chrono::steady_clock::now();
        if (!now && shown_ && t - last_ < std::chrono::milliseconds(100)) return;
        last_ = t;
        std::fprintf(out_, "\rtarnwick: %s\x1b[K", text.c_str());
        std::fflush(out_);
        shown_ = true;
    }

    std::FILE* out_;
    bool on_;
    bool shown_ = false;
    std::string file_;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace tw

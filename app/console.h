// Services for running without a window: reports go to stderr and where a
// person would be asked, the safe answer is taken without blocking.
#pragma once

#include <cstdio>
#include <string>

#include "platform/services.h"

namespace tw {

class ConsoleMessageBox : public MessageBox {
public:
    // Abort for Abort/Retry/Ignore, No for Yes/No: nothing is retried and
    // no error log is written behind the user's back.
    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon) override {
        std::fprintf(stderr, "%s: %s\n", prefix_.c_str(), text.c_str());
        ++reports_;
        if (buttons == MsgButtons::AbortRetryIgnore) return MsgResult::Abort;
        if (buttons == MsgButtons::YesNo) return MsgResult::No;
        return MsgResult::OK;
    }
    void SetPrefix(std::string p) { prefix_ = std::move(p); }
    int Reports() const { return reports_; }

private:
    std::string prefix_ = "tarnwick";
    int reports_ = 0;
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

}  // namespace tw

// Services for running without a window: reports go to stderr and where a
// person would be asked, the safe answer is taken without blocking.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tw {

class ConsoleMessageBox : public MessageBox {
public:
    // Abort for Abort/Retry/Ignore, No for Yes/No: nothing is retried and
    // no error log is written behind the user's back. Reports are kept
    // for the caller to print, one line per file; a question is answered
    // and never printed, since nobody is asked.
    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon) override {
        if (buttons == MsgButtons::YesNo) return MsgResult::No;
        reports_.push_back(text);
        if (buttons == MsgButtons::AbortRetryIgnore) return MsgResult::Abort;
        return MsgResult::OK;
    }
    int Reports() const { return static_cast<int>(reports_.size()); }
    // The reports since `from`, joined with "; ".
    std::string Since(int from) const {
        std::string joined;
        for (std::size_t i = static_cast<std::size_t>(from); i < reports_.size(); ++i) {
            if (!joined.empty()) joined += "; ";
            joined += reports_[i];
        }
        return joined;
    }

private:
    std::vector<std::string> reports_;
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

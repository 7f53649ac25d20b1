#include "document/report.h"

#include <string_view>

#include "platform/textfile.h"

namespace tw {

std::string ReportTextA(int number, const std::string& description, const std::string& procedure) {
    return "Error " + std::to_string(number) + " '" + description + "' in " + procedure;
}

std::string ReportTextAWithLine(int number, const std::string& description, int label, const std::string& procedure) {
    return "Error " + std::to_string(number) + " '" + description + "' at line " + std::to_string(label) + " in " +
           procedure;
}

std::string ReportTextB(int number, const std::string& description, const std::string& procedure) {
    // The number is written as a number is printed: a blank where a minus
    // sign would stand.
    std::string n = number < 0 ? std::to_string(number) : " " + std::to_string(number);
    return "Error" + n + ", '" + description + "' in " + procedure + ".";
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string AbsoluteName(const std::string& folder, const std::string& name) {
    std::string whole = !name.empty() && name[0] == '/' ? name : JoinFolder(folder, name);
    std::string out;
    std::size_t i = 0;
    while (i < whole.size()) {
        std::size_t slash = whole.find('/', i);
        std::size_t end = slash == std::string::npos ? whole.size() : slash;
        std::string_view part(whole.data() + i, end - i);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        i = end + 1;
    }
    if (out.empty()) return "/";
    // A name given with a trailing slash keeps it.
    if (whole.back() == '/') out += '/';
    return out;
}

void SaveErrMsgToFile(Platform& sys, const std::string& text) {
    std::string path = JoinFolder(sys.process.SettingsFolder(), "Errors.txt");
    if (sys.msg.Show("Save error message in " + path + " ?", MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes) {
        return;
    }
    OutputFile log;
    Trap trap(sys, "SaveErrMsgToFile", ReportFamily::AWithLine);
    trap.Run([&] {
        trap.Step(1, [&] { log.Open(path, OutputFile::Mode::Append); });
        trap.Step(2, [&] {
            log.Write(text);
            log.Write("\r\n");
        });
    });
    trap.Run([&] { trap.Step(3, [&] { log.Close(); }); });
}

bool Trap::Resume(const VbError& e, int label) {
    Handling h = handler_ ? handler_(e, label) : Handling::Report;
    if (h == Handling::ResumeNext) return false;
    if (!failure_) failure_ = e;
    if (h == Handling::Leave) throw Leave{this};

    if (hourglass_) sys_.pointer.SetHourglass(false);
    if (family_ == ReportFamily::B) {
        sys_.msg.Show(ReportTextB(e.number(), e.description(), procedure_), MsgButtons::OK, MsgIcon::None);
        throw Leave{this};
    }
    std::string text = family_ == ReportFamily::A ? ReportTextA(e.number(), e.description(), procedure_)
                                                  : ReportTextAWithLine(e.number(), e.description(), label, procedure_);
    MsgResult answer = sys_.msg.Show(text, MsgButtons::AbortRetryIgnore, MsgIcon::Warning);
    if (answer == MsgResult::Retry || answer == MsgResult::Ignore) {
        if (hourglass_) sys_.pointer.SetHourglass(true);
        return answer == MsgResult::Retry;
    }
    if (family_ == ReportFamily::A) {
        SaveErrMsgToFile(sys_, timestamp_ ? sys_.process.DateTimeText() + " " + text : text);
    }
    throw Leave{this};
}

}  // namespace tw

// The platform services the program's procedures use, as small interfaces.
// Each has a Qt/Linux implementation (platform/qt) and a scripted fake
// (platform/fake) so tests answer for the user instead of blocking.
#pragma once

#include <string>

namespace tw {

enum class MsgButtons { OK, YesNo, AbortRetryIgnore };
enum class MsgIcon { None, Information, Warning, Question };
enum class MsgResult { OK, Yes, No, Abort, Retry, Ignore };

// A modal message box; the title is the application's name.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
};

// A modal input box. Cancel returns empty text.
class InputBox {
public:
    virtual ~InputBox() = default;
    virtual std::string Ask(const std::string& prompt, const std::string& title, const std::string& proposed) = 0;
};

// Process-wide facts: folders, the clock in the user's formats.
class Process {
public:
    virtual ~Process() = default;
    // The folder the executable lives in, without a trailing "/".
    virtual std::string ProgramFolder() = 0;
    // Where Quillon.ini and Errors.txt live: the program's folder when it
    // is writable, otherwise the per-user configuration folder.
    virtual std::string SettingsFolder() = 0;
    virtual std::string CurrentFolder() = 0;
    // Makes `folder` current; throws VbError 76 when it does not exist.
    virtual void ChangeFolder(const std::string& folder) = 0;
    // Today's date in the system's long date format ("Tuesday, 8 December 2026").
    virtual std::string LongDate() = 0;
    // The general date-and-time text used on log lines.
    virtual std::string DateTimeText() = 0;
};

// The screen-wide mouse pointer.
class Pointer {
public:
    virtual ~Pointer() = default;
    virtual void SetHourglass(bool busy) = 0;
};

// What the reader touches of the main window.
class WindowHooks {
public:
    virtual ~WindowHooks() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void ClearSurface() = 0;
};

// The recent-file entries of the File menu: entry 0 is the separator,
// entries 1 to 4 hold "&" + number + " " + path.
class RecentMenu {
public:
    virtual ~RecentMenu() = default;
    virtual std::string Caption(int index) = 0;
    virtual void SetCaption(int index, const std::string& caption) = 0;
    virtual bool Visible(int index) = 0;
    virtual void SetVisible(int index, bool visible) = 0;
};

// The screen's size and the size of one of its pixels, in twips.
struct ScreenMetrics {
    double width = 1920 * 15.0, height = 1080 * 15.0;
    double px = 15, py = 15;
};

// The services one procedure may call, handed down from the front end.
struct Platform {
    MessageBox& msg;
    InputBox& input;
    Process& process;
    Pointer& pointer;
};

}  // namespace tw

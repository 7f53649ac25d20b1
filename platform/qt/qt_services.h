// The platform services on Linux with Qt.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/services.h"

class QWidget;

namespace tw {

// Cell and file bytes are Windows-1252; this turns them into text to show.
QString FromCp1252(std::string_view bytes);
// Text for the screen from bytes that may be a file name (UTF-8 on Linux)
// or document text (Windows-1252): valid UTF-8 is taken as such.
QString DisplayText(std::string_view bytes);

// The reverse, for names and answers typed by the user (unmappable
// characters become "?").
std::string ToCp1252(const QString& text);

// Message boxes with the application's name as title.
class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    void SetParent(QWidget* parent) { parent_ = parent; }

private:
    QWidget* parent_;
};

class QtInputBox : public InputBox {
public:
    explicit QtInputBox(QWidget* parent = nullptr) : parent_(parent) {}
    std::string Ask(const std::string& prompt, const std::string& title, const std::string& proposed) override;
    void SetParent(QWidget* parent) { parent_ = parent; }

private:
    QWidget* parent_;
};

// Folders from the executable's place and chdir; dates from the system
// locale (QLocale::system()).
class SystemProcess : public Process {
public:
    std::string ProgramFolder() override;
    std::string SettingsFolder() override;
    std::string CurrentFolder() override;
    void ChangeFolder(const std::string& folder) override;
    std::string LongDate() override;
    std::string DateTimeText() override;
};

// The hourglass as Qt's override cursor; does nothing without a GUI.
class QtPointer : public Pointer {
public:
    void SetHourglass(bool busy) override;

private:
    bool busy_ = false;
};

}  // namespace tw

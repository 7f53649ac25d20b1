// Scripted stand-ins for the platform, for tests: message and input boxes
// answer from a script and record what they were shown.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tw::fake {

struct ShownMessage {
    std::string text;
    MsgButtons buttons;
    MsgIcon icon;
};

class FakeMessageBox : public MessageBox {
public:
    // Answers are taken in order; an OK-only box needs none.
    std::deque<MsgResult> answers;
    std::vector<ShownMessage> shown;

    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
        shown.push_back({text, buttons, icon});
        if (buttons == MsgButtons::OK) return MsgResult::OK;
        if (answers.empty()) throw std::logic_error("message box shown without a scripted answer: " + text);
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown) t.push_back(m.text);
        return t;
    }
};

struct AskedInput {
    std::string prompt, title, proposed;
};

class FakeInputBox : public InputBox {
public:
    std::deque<std::string> answers;  // "" stands for Cancel
    std::vector<AskedInput> asked;

    std::string Ask(const std::string& prompt, const std::string& title, const std::string& proposed) override {
        asked.push_back({prompt, title, proposed});
        if (answers.empty()) throw std::logic_error("input box shown without a scripted answer: " + prompt);
        std::string r = answers.front();
        answers.pop_front();
        return r;
    }
};

class FakeProcess : public Process {
public:
    std::string program_folder = "/nonexistent-program-folder";
    std::string settings_folder;  // empty: the program folder
    std::string current_folder = "/";
    std::string long_date = "Tuesday, 8 December 2026";
    std::string date_time = "08/12/2026 18:55:00";
    std::vector<std::string> folder_changes;
    bool real_chdir = false;  // also change the process's folder

    std::string ProgramFolder() override { return program_folder; }
    std::string SettingsFolder() override { return settings_folder.empty() ? program_folder : settings_folder; }
    std::string CurrentFolder() override { return current_folder; }
    void ChangeFolder(const std::string& folder) override;
    std::string LongDate() override { return long_date; }
    std::string DateTimeText() override { return date_time; }
};

class FakePointer : public Pointer {
public:
    bool busy = false;
    int changes = 0;
    void SetHourglass(bool b) override {
        busy = b;
        ++changes;
    }
};

class FakeWindow : public WindowHooks {
public:
    std::string caption = "Tarnwick";
    int clears = 0;
    void SetCaption(const std::string& c) override { caption = c; }
    void ClearSurface() override { ++clears; }
};

class FakeRecentMenu : public RecentMenu {
public:
    std::string captions[5] = {"-", "&1", "&2", "&3", "&4"};
    bool visible[5] = {false, false, false, false, false};
    std::string Caption(int i) override { return captions[i]; }
    void SetCaption(int i, const std::string& c) override { captions[i] = c; }
    bool Visible(int i) override { return visible[i]; }
    void SetVisible(int i, bool v) override { visible[i] = v; }
};

// Everything a core procedure needs, scripted.
struct FakePlatform {
    FakeMessageBox msg;
    FakeInputBox input;
    FakeProcess process;
    FakePointer pointer;
    FakeWindow window;
    Platform sys{msg, input, process, pointer};
};

}  // namespace tw::fake

#include "settings/settings.h"

#include "document/numbers.h"
#include "document/report.h"
#include "settings/ini.h"

#include <cctype>

namespace tw {

namespace {

constexpr const char* kSection = "Quillon";

// Line labels of ReadIniFile: failures of these statements are expected
// for empty values and ignored.
enum { kDrive = 1, kFolder = 2, kFontName = 3, kFontSize = 4 };

}  // namespace

std::string IniPath(Process& process) { return JoinFolder(process.SettingsFolder(), "Quillon.ini"); }

std::string ReadIniValue(Process& process, const std::string& key) {
    return GetPrivateProfileString(kSection, key, "", IniPath(process));
}

void ReadIniFile(SettingsTarget& t) {
    Trap trap(t.sys, "ReadIniFile", ReportFamily::A);
    trap.OnFailure([](const VbError& e, int label) {
        if (e.number() == kErrInvalidCall && (label == kDrive || label == kFolder)) return Handling::ResumeNext;
        if (e.number() == kErrInvalidPropertyValue && (label == kFontName || label == kFontSize)) {
            return Handling::ResumeNext;
        }
        return Handling::Report;
    });
    trap.Run([&] {
        std::string path;
        auto read = [&](const std::string& key, const std::string& fallback) {
            return GetPrivateProfileString(kSection, key, fallback, path);
        };
        t.doc.MaxNumCols = 64;
        t.CrLf = "\r\n";
        trap.Step([&] { path = IniPath(t.sys.process); });

        WindowPlacement& p = t.placement;
        trap.Step([&] { p.WinState = CInt(Val(read("WindowState", "0"))); });
        trap.Step([&] {
            p.WinLeft = CInt(Val(read("Left", FormatSingle(static_cast<float>((t.screen.width - 9600) / 2)))));
        });
        trap.Step([&] {
            // 7200, not the default height: the design centres a taller window.
            p.WinTop = CInt(Val(read("Top", FormatSingle(static_cast<float>((t.screen.height - 7200) / 2)))));
        });
        trap.Step([&] { p.WinWidth = CInt(Val(read("Width", "9600"))); });
        trap.Step([&] { p.WinHeight = CInt(Val(read("Height", "6120"))); });

        for (int i = 1; i <= 4; ++i) {
            trap.Step([&] {
                std::string file = read("File" + std::to_string(i), "");
                if (file.empty()) return;
                t.recent.SetVisible(0, true);
                t.recent.SetVisible(i, true);
                t.recent.SetCaption(i, "&" + std::to_string(i) + " " + file);
            });
        }

        std::string dir;
        trap.Step([&] { dir = read("InitDir", ""); });
        // There are no drives here: the drive step only checks there is one.
        trap.Step(kDrive, [&] {
            if (dir.empty()) throw VbError(kErrInvalidCall);
        });
        trap.Step(kFolder, [&] {
            // The value ends in "/": drop it, but keep the root itself.
            std::string folder = dir.substr(0, dir.size() - 1);
            if (folder.empty() && dir == "/") folder = "/";
            if (folder.empty()) throw VbError(kErrInvalidCall);
            t.sys.process.ChangeFolder(folder);
        });

        std::string font;
        trap.Step(kFontName, [&] {
            font = read("FontName", "");
            t.surface.SetFontName(font);
        });
        trap.Step(kFontSize, [&] {
            font = read("FontSize", "");
            t.surface.SetFontSize(static_cast<float>(Val(font)));
        });
    });
}

Layout ReadLayoutSetting(Process& process) {
    std::string v = ReadIniValue(process, "Layout");
    // Hand-edited files may differ in case; anything else is the plain layout.
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v == "pipedream" ? Layout::PipeDream : Layout::Plain;
}

void WriteLayoutSetting(Platform& sys, Layout layout) {
    WriteIniFile(sys, "Layout", layout == Layout::PipeDream ? "PipeDream" : "");
}

void WriteIniFile(Platform& sys, const std::string& Key, const std::string& Value) {
    Trap trap(sys, "WriteIniFile", ReportFamily::A);
    trap.Run([&] {
        bool ok = false;
        trap.Step([&] { ok = WritePrivateProfileString(kSection, Key, Value, IniPath(sys.process)); });
        if (!ok) sys.msg.Show(kIniWriteFailed, MsgButtons::OK, MsgIcon::None);
    });
}

}  // namespace tw

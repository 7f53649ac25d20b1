// The settings file Quillon.ini: window placement, screen font, recent
// files and the folder of the last file, all in section "Quillon".
#pragma once

#include <cstdint>
#include <string>

#include "document/layouts.h"
#include "document/model.h"
#include "platform/canvas.h"
#include "platform/services.h"

namespace tw {

// The window placement read at start: state (0 normal, 1 minimised,
// 2 maximised) and position and size in twips.
struct WindowPlacement {
    std::int16_t WinState = 0;
    std::int16_t WinLeft = 0, WinTop = 0, WinWidth = 9600, WinHeight = 6120;
};

// What the settings reader fills.
struct SettingsTarget {
    Platform& sys;
    DocumentModel& doc;  // MaxNumCols
    std::string& CrLf;
    WindowPlacement& placement;
    RecentMenu& recent;
    Canvas& surface;       // picPrintableArea's font
    ScreenMetrics screen;  // for the default placement
};

// Where the settings file lives.
std::string IniPath(Process& process);

// Reads the settings at start-up; failures are reported as "ReadIniFile".
void ReadIniFile(SettingsTarget& t);

// Stores one key; a refused write shows the write-protection message.
void WriteIniFile(Platform& sys, const std::string& Key, const std::string& Value);

// Reads one key of the settings file ("" when missing).
std::string ReadIniValue(Process& process, const std::string& key);

// The layout the page is shown in: "Layout" holds "PipeDream" for the
// PipeDream layout and is empty (or missing) for the plain one.
Layout ReadLayoutSetting(Process& process);
// Stores the layout chosen; a refused write shows the write-protection message.
void WriteLayoutSetting(Platform& sys, Layout layout);

inline constexpr const char* kIniWriteFailed =
    "Could not write entry in Quillon.ini. The file might be write protected or the disk full.";

}  // namespace tw

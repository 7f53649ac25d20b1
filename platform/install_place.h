// Where a copy of the program keeps its settings and where its own
// documentation lies, from where it runs: a copy installed into a system
// prefix is shared by every user, a copy in a folder of the user's own
// (its build folder) is that user's alone.
#pragma once

#include <string>

namespace tw {

// What decides the settings folder, gathered by the platform.
struct ProgramPlace {
    std::string folder;         // the executable's folder, links resolved
    bool folder_owned = false;  // the folder belongs to the user running it
    bool folder_writable = false;
    std::string config_home;  // $XDG_CONFIG_HOME, as set (may be empty)
    std::string home;         // the user's home folder
};

// True for a folder under /usr, /bin, /sbin or /opt, where packages and
// `make install` put programs.
bool InSystemPrefix(const std::string& folder);

// The folder of Quillon.ini and Errors.txt: the program's own folder when
// it is the user's and writable, otherwise $XDG_CONFIG_HOME/tarnwick
// (~/.config/tarnwick when that is unset or not absolute). An installed
// copy run as root would otherwise write into /usr/bin.
std::string SettingsFolderFor(const ProgramPlace& place);

// The documentation folder of an installed copy (PREFIX/share/doc/tarnwick
// for a program in PREFIX/bin), when it exists; empty for a copy that
// runs from its build folder.
std::string InstalledDocFolder(const std::string& program_folder);

}  // namespace tw

#include "platform/install_place.h"

#include <sys/stat.h>

namespace tw {

namespace {

bool Within(const std::string& folder, const std::string& prefix) {
    return folder.compare(0, prefix.size(), prefix) == 0 &&
           (folder.size() == prefix.size() || folder[prefix.size()] == '/');
}

}  // namespace

bool InSystemPrefix(const std::string& folder) {
    for (const char* prefix : {"/usr", "/bin", "/sbin", "/opt"}) {
        if (Within(folder, prefix)) return true;
    }
    return false;
}

std::string SettingsFolderFor(const ProgramPlace& place) {
    if (place.folder_owned && place.folder_writable && !InSystemPrefix(place.folder)) return place.folder;
    // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules ask.
    std::string base = !place.config_home.empty() && place.config_home[0] == '/'
                           ? place.config_home
                           : (place.home.empty() ? std::string("/tmp") : place.home) + "/.config";
    return base + "/tarnwick";
}

std::string InstalledDocFolder(const std::string& program_folder) {
    std::size_t slash = program_folder.find_last_of('/');
    if (slash == std::string::npos || program_folder.compare(slash + 1, std::string::npos, "bin") != 0) return "";
    std::string docs = program_folder.substr(0, slash) + "/share/doc/tarnwick";
    struct stat st {};
    return ::stat(docs.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? docs : "";
}

}  // namespace tw

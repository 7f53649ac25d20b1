// The settings file on arbitrary bytes: reading every key the program
// uses, the start-up reader, and a write of one key whose value comes from
// the input. A write either fails and leaves the file as it was, or the
// key reads back as written and every other key as before.
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "platform/fake/recording_canvas.h"
#include "settings/ini.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kKeys[] = {"WindowState", "Left",  "Top",     "Width",    "Height",   "File1",     "File2",
                             "File3",       "File4", "InitDir", "FontName", "FontSize", "MaxNumCols"};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// A value that reads back exactly as written: no blanks or quotes at
// its ends, no line end, within the 254 characters a read returns.
bool ReadsBackAsWritten(const std::string& v) {
    if (v.size() > 254 || v.find_first_of("\r\n") != std::string::npos) return false;
    if (v.empty()) return true;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(v.front()) || blank(v.back())) return false;
    return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::fuzz::Harness h;
    static const std::string folder = [] {
        std::string dir = h.path + ".d";
        ::mkdir(dir.c_str(), 0700);
        return dir;
    }();
    h.process.program_folder = folder;
    h.process.current_folder = folder;
    const std::string ini = tw::IniPath(h.process);

    // The last line of the input, after a NUL, is the key index and value
    // to write; the rest is the file.
    std::string bytes(reinterpret_cast<const char*>(data), size), value;
    std::size_t key = 5;
    if (std::size_t nul = bytes.rfind('\0'); nul != std::string::npos) {
        value = bytes.substr(nul + 1);
        if (!value.empty()) {
            key = static_cast<unsigned char>(value[0]) % std::size(kKeys);
            value.erase(0, 1);
        }
        bytes.resize(nul);
    }
    {
        std::ofstream f(ini, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string before[std::size(kKeys)];
    for (std::size_t k = 0; k < std::size(kKeys); ++k) before[k] = tw::ReadIniValue(h.process, kKeys[k]);

    tw::fake::FakeRecentMenu recent;
    tw::fake::RecordingCanvas surface;
    std::string CrLf;
    tw::WindowPlacement placement;
    tw::SettingsTarget target{h.sys, h.doc, CrLf, placement, recent, surface, tw::ScreenMetrics{}};
    tw::ReadIniFile(target);

    const std::string file_before = Slurp(ini);
    bool written = tw::WritePrivateProfileString("Quillon", kKeys[key], value, ini);
    const std::string file_after = Slurp(ini);
    if (value.find_first_of("\r\n") != std::string::npos && written) __builtin_trap();
    if (!written && file_after != file_before) __builtin_trap();
    if (written && ReadsBackAsWritten(value)) {
        if (tw::ReadIniValue(h.process, kKeys[key]) != value) __builtin_trap();
        for (std::size_t k = 0; k < std::size(kKeys); ++k) {
            if (k != key && tw::ReadIniValue(h.process, kKeys[k]) != before[k]) __builtin_trap();
        }
    }
    return 0;
}

#include "settings/ini.h"

#include <initializer_list>
#include <vector>

#include "platform/textfile.h"

namespace tw {

namespace {

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

std::string_view Strip(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

struct Line {
    std::string text;
    std::string ending;  // the line's own ending, kept as it was
};

std::vector<Line> SplitLines(const std::string& data) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t e = data.find_first_of("\r\n", i);
        if (e == std::string::npos) {
            lines.push_back({data.substr(i), ""});
            break;
        }
        std::size_t next = e + 1;
        if (data[e] == '\r' && next < data.size() && data[next] == '\n') ++next;
        lines.push_back({data.substr(i, e - i), data.substr(e, next - e)});
        i = next;
    }
    return lines;
}

// "[name]" gives the lower-case name; any other line gives false.
bool SectionOf(std::string_view line, std::string& name) {
    std::string_view t = Strip(line);
    if (t.size() < 2 || t.front() != '[') return false;
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    name = Lower(Strip(t.substr(1, close - 1)));
    return true;
}

// "key=value" gives the lower-case key and the value; other lines false.
bool EntryOf(std::string_view line, std::string& key, std::string_view& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view k = Strip(line.substr(0, eq));
    if (k.empty() || k.front() == ';') return false;
    key = Lower(k);
    value = line.substr(eq + 1);
    return true;
}

bool ReadFile(const std::string& path, std::string& data) {
    try {
        InputFile f;
        f.Open(path);
        data = f.ReadAll();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                    const std::string& path) {
    std::string data;
    if (!ReadFile(path, data)) return fallback.substr(0, 254);
    std::string want_section = Lower(section), want_key = Lower(key), current, k;
    bool in_section = false;
    std::string_view value;
    for (const Line& line : SplitLines(data)) {
        if (SectionOf(line.text, current)) {
            in_section = current == want_section;
        } else if (in_section && EntryOf(line.text, k, value) && k == want_key) {
            std::string_view v = Strip(value);
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
                v = v.substr(1, v.size() - 2);
            }
            return std::string(v.substr(0, 254));
        }
    }
    return fallback.substr(0, 254);
}

namespace {

// A line end would split the entry and make its tail a line of its own.
bool AnyHasLineEnd(std::initializer_list<const std::string*> texts) {
    for (const std::string* s : texts) {
        if (s->find_first_of("\r\n") != std::string::npos) return true;
    }
    return false;
}

// New lines follow the file's own line endings; a new file gets LF.
std::string LineEnding(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
        if (!l.ending.empty()) return l.ending;
    }
    return "\n";
}

// Where a new entry of the section goes: after its last entry.
struct SectionPlace {
    bool found = false;
    std::size_t insert_at = 0;
};

// Replaces the key's entry in the first section of that name; true when
// it was there. Otherwise `place` tells where the section's entries end.
bool ReplaceEntry(std::vector<Line>& lines, const std::string& section, const std::string& key,
                  const std::string& entry, SectionPlace& place) {
    std::string want_section = Lower(section), want_key = Lower(key), current, k;
    bool in_section = false;
    std::string_view v;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (SectionOf(lines[i].text, current)) {
            if (in_section) break;
            in_section = current == want_section;
            if (in_section) place = {true, i + 1};
        } else if (in_section) {
            if (EntryOf(lines[i].text, k, v) && k == want_key) {
                lines[i].text = entry;
                return true;
            }
            if (!Strip(lines[i].text).empty()) place.insert_at = i + 1;
        }
    }
    return false;
}

// Adds the entry after the section's last one, or a new section at the end.
void AddEntry(std::vector<Line>& lines, const SectionPlace& place, const std::string& section,
              const std::string& entry, const std::string& eol) {
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
    if (place.found) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.insert_at), Line{entry, eol});
    } else {
        lines.push_back({"[" + section + "]", eol});
        lines.push_back({entry, eol});
    }
}

}  // namespace

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
    if (AnyHasLineEnd({&section, &key, &value})) return false;
    std::string data;
    bool exists = ReadFile(path, data);
    if (!exists && FileExists(path)) return false;  // there, but unreadable
    std::vector<Line> lines = SplitLines(data);
    std::string eol = LineEnding(lines);
    std::string entry = key + "=" + value;
    SectionPlace place;
    if (!ReplaceEntry(lines, section, key, entry, place)) AddEntry(lines, place, section, entry, eol);
    std::string out;
    for (const Line& l : lines) out += l.text + l.ending;
    if (out == data) return true;  // nothing changes: leave the file alone
    return ReplaceFileAtomically(path, out);
}

}  // namespace tw

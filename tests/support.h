// Helpers shared by the tests: a temporary folder and files in it.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "document/reader.h"
#include "document/shown_text.h"
#include "platform/fake/fakes.h"

namespace tw::test {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = *this / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string path_;
};

// Writes beyond `bytes` fail for the rest of the scope, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit saved_ {};
    void (*old_handler_)(int);
};

// A folder holding the comma-decimal locales de_DE.UTF-8 and fr_FR.UTF-8,
// built with localedef once per test run: the tests never depend on which
// locales the machine happens to have generated. Name it in LOCPATH.
inline const std::string& CommaLocales() {
    static TempDir dir;
    static bool built = [] {
        for (const char* name : {"de_DE", "fr_FR"}) {
            std::string cmd = "localedef -i " + std::string(name) + " -f UTF-8 '" + dir.path() + "/" + name +
                              ".UTF-8' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0 && !std::filesystem::exists(dir / (std::string(name) + ".UTF-8")))
                throw std::runtime_error("localedef could not build " + std::string(name));
        }
        return true;
    }();
    (void)built;
    return dir.path();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scripted platform whose program folder is a fresh temporary folder,
// and a document loaded from bytes written there.
struct Fixture {
    TempDir dir;
    fake::FakePlatform fp;
    DocumentModel doc;
    Fixture() { fp.process.program_folder = dir.path(); }

    void Load(const std::string& bytes, const std::string& name = "doc.pd") {
        ReadPipeDreamFile(fp.sys, fp.window, doc, dir.Write(name, bytes));
    }
};

// A layout that shows each cell bracketed, to tell its cells from the
// stored ones.
class Bracketed : public ShownCells {
public:
    explicit Bracketed(const DocumentModel& doc) : doc_(doc) {}
    std::string Marked(int column, int row) const override {
        std::string_view cell = doc_.Cells(column, row);
        return cell.empty() ? std::string() : "[" + std::string(cell) + "]";
    }

private:
    const DocumentModel& doc_;
};

}  // namespace tw::test

// The converter as a user runs it: a subprocess, its exit status, its
// stderr and the files it leaves.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "export/html_export.h"
#include "export/text_export.h"
#include "real_documents.h"
#include "support.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

struct Result {
    int status;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result Convert(const std::vector<std::string>& args, const TempDir& scratch) {
    std::string cmd = Quote(TARNWICK_EXE);
    for (const auto& a : args) cmd += " " + Quote(a);
    std::string err_file = scratch / "stderr.txt";
    cmd += " 2>" + Quote(err_file);
    Result r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = ReadFile(err_file);
    return r;
}

const std::string kSamples = TARNWICK_SOURCE_DIR "/samples";

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Converter, ConvertsTheSamplesToEachFormat) {
    for (std::string format : {"txt", "htm", "html", "rtf"}) {
        TempDir out, scratch;
        Result r = Convert({"--convert-to", format, kSamples + "/welcome.pd", kSamples + "/budget.pd", "--outdir",
                            out.path()},
                           scratch);
        EXPECT_EQ(r.status, 0) << format << r.err;
        EXPECT_EQ(r.err, "") << format;
        std::string ext = format == "html" ? "htm" : format;
        EXPECT_EQ(Files(out.path()), (std::vector<std::string>{"budget." + ext, "welcome." + ext})) << format;
    }
}

TEST(Converter, WritesWhatTheWritersWrite) {
    TempDir out, scratch;
    ASSERT_EQ(Convert({"--convert-to", "txt", kSamples + "/welcome.pd", "--outdir", out.path()}, scratch).status, 0);
    ASSERT_EQ(Convert({"--convert-to=htm", "--outdir=" + out.path(), kSamples + "/welcome.pd"}, scratch).status, 0);
    test::Fixture f;
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, kSamples + "/welcome.pd");
    StringSink txt, htm;
    WriteText(f.doc, txt);
    WriteHTML(f.fp.sys, f.doc, htm);
    EXPECT_EQ(ReadFile(out / "welcome.txt"), txt.bytes);
    EXPECT_EQ(ReadFile(out / "welcome.htm"), htm.bytes);
    EXPECT_NE(ReadFile(out / "welcome.txt").find("Paper, A4, 500 sheets\t2\t4.50\t=9.00\r\n"), std::string::npos);
}

TEST(Converter, WritesBesideTheInputWithoutOutdir) {
    TempDir dir, scratch;
    fs::copy_file(kSamples + "/budget.pd", dir / "my.budget.pd");
    Result r = Convert({"--convert-to", "htm", dir / "my.budget.pd"}, scratch);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "my.budget.htm"));
    EXPECT_NE(ReadFile(dir / "my.budget.htm").find("<title>Household budget</title>"), std::string::npos);
}

TEST(Converter, BadFilesAreRefusedAndTheRestConverted) {
    TempDir out, scratch;
    std::string missing = out / "missing.pd";
    Result r = Convert({"--convert-to", "txt", "--outdir", out.path(), kSamples + "/welcome.pd", missing,
                        kSamples + "/samples.l", kSamples + "/budget.pd"},
                       scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File not found: " + missing), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(kSamples + "/samples.l: not a PipeDream document; nothing written"), std::string::npos)
        << r.err;
    EXPECT_EQ(Files(out.path()), (std::vector<std::string>{"budget.txt", "welcome.txt"}));
}

TEST(Converter, ReportsAWriteFailureInItsOwnWordsAndNeverPrompts) {
    TempDir scratch;
    std::string unwritable;
    TempDir ro;
    if (::geteuid() == 0) {
        unwritable = "/sys";  // refuses new files even to root
    } else {
        ::chmod(ro.path().c_str(), 0555);
        unwritable = ro.path();
    }
    Result r = Convert({"--convert-to", "rtf", "--outdir", unwritable, kSamples + "/welcome.pd"}, scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error 70 'Permission denied' at line 1 in WriteRTF"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;  // the report, then "not converted"
}

TEST(Converter, NeverOverwritesItsInputOrItsOwnOutput) {
    TempDir dir, other, scratch;
    fs::copy_file(kSamples + "/welcome.pd", dir / "notes.txt");
    fs::copy_file(kSamples + "/budget.pd", other / "notes.pd");
    std::string before = ReadFile(dir / "notes.txt");
    Result r = Convert({"--convert-to", "txt", dir / "notes.txt"}, scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input itself"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "notes.txt"), before);

    TempDir out;
    r = Convert({"--convert-to", "txt", "--outdir", out.path(), dir / "notes.txt", other / "notes.pd"}, scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("was already written from"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(out / "notes.txt").find("Household"), std::string::npos);
}

TEST(Converter, TakesTheScreenFontFromTheSettings) {
    // A copy of the program in a folder of its own, with its settings.
    TempDir program, out, scratch;
    std::string exe = program / "tarnwick";
    fs::copy_file(TARNWICK_EXE, exe);
    fs::permissions(exe, fs::perms::owner_all);
    program.Write("Quillon.ini", "[Quillon]\nFontName=Arial\nFontSize=12\n");
    std::string cmd = Quote(exe) + " --convert-to rtf --outdir " + Quote(out.path()) + " " +
                      Quote(kSamples + "/welcome.pd") + " 2>" + Quote(scratch / "err");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(scratch / "err");
    std::string rtf = ReadFile(out / "welcome.rtf");
    EXPECT_NE(rtf.find("\r\n\\f2\\fs24\r\n"), std::string::npos) << rtf.substr(0, 300);
    EXPECT_NE(rtf.find("{\\header\\f2\\fs24"), std::string::npos);
}

TEST(Converter, CommandLineMistakes) {
    TempDir scratch, out;
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{"--convert-to", "pdq", "a.pd"}, 2, "unknown format 'pdq'"},
        {{"--convert-to"}, 2, "--convert-to needs a format"},
        {{"--convert-to", "txt"}, 2, "no files to convert"},
        {{"--convert-to", "txt", "--outdir", "/no/such/folder", "a.pd"}, 2, "--outdir /no/such/folder: no such folder"},
        {{"--convert-to", "txt", "--outdir", kSamples + "/welcome.pd", "a.pd"}, 2, "no such folder"},
        {{"--convert-to", "txt", "--bogus", "a.pd"}, 2, "unknown option '--bogus'"},
    };
    for (const auto& c : cases) {
        Result r = Convert(c.args, scratch);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    Result help = Convert({"--help"}, scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tarnwick --convert-to FORMAT FILE... [--outdir DIR]"), std::string::npos);
    Result version = Convert({"--version"}, scratch);
    EXPECT_EQ(version.out, "tarnwick 0.19\n");
}

std::string Output(const std::string& command) {
    std::string out;
    std::FILE* p = ::popen(command.c_str(), "r");
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0, at;
    while ((at = s.find(sep, start)) != std::string::npos) {
        parts.push_back(s.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(s.substr(start));
    return parts;
}

TEST(Converter, PrintsToPdfWithHeadersFootersAndEveryRowOnce) {
    TempDir dir, scratch;
    std::string doc = "%OP%DEQuarterly figures\n%OP%HE/Report/@T@/Page @P@\n%OP%FO//Tarnwick print test//\n"
                      "%CO:A,20,72%";
    for (int r = 1; r <= 150; ++r) doc += "Row " + std::to_string(r) + " of the report\n";
    dir.Write("report.pd", doc);
    Result r = Convert({"--convert-to", "pdf", dir / "report.pd"}, scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = Output("pdftotext -layout " + Quote(dir / "report.pdf") + " -");
    std::vector<std::string> pages = Split(text, '\f');
    while (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos) pages.pop_back();
    ASSERT_GE(pages.size(), 3u) << text;
    int next_row = 1;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const std::string& page = pages[p];
        std::string first_line = page.substr(0, page.find('\n'));
        EXPECT_NE(first_line.find("Report"), std::string::npos) << first_line;
        EXPECT_NE(first_line.find("Quarterly figures"), std::string::npos) << first_line;
        EXPECT_NE(first_line.find("Page " + std::to_string(p + 1)), std::string::npos) << first_line;
        EXPECT_NE(page.find("Tarnwick print test"), std::string::npos) << "page " << p + 1;
        for (const std::string& line : Split(page, '\n')) {
            auto at = line.find("Row ");
            if (at == std::string::npos) continue;
            EXPECT_EQ(line.substr(at), "Row " + std::to_string(next_row) + " of the report");
            ++next_row;
        }
    }
    EXPECT_EQ(next_row, 151);
}

TEST(Converter, EveryRealDocumentConverts) {
    auto docs = test::RealDocuments();
    if (docs.empty()) GTEST_SKIP() << "no real documents";
    for (std::string format : {"txt", "htm", "rtf", "pdf"}) {
        TempDir out, scratch;
        std::vector<std::string> args = {"--convert-to", format, "--outdir", out.path()};
        args.insert(args.end(), docs.begin(), docs.end());
        Result r = Convert(args, scratch);
        EXPECT_EQ(r.status, 0) << format << r.err;
        EXPECT_EQ(Files(out.path()).size(), docs.size()) << format;
    }
}

}  // namespace
}  // namespace tw

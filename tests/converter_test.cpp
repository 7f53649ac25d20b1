// The converter as a user runs it: a subprocess, its exit status, its
// stderr and the files it leaves.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <pty.h>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>

#include "app/convert.h"
#include "document/constructs.h"
#include "document/layouts.h"
#include "export/html_export.h"
#include "export/text_export.h"
#include "formula/parser.h"
#include "formula/value.h"
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

// `prefix` runs in the shell first (a folder to start in, a limit).
Result Convert(const std::vector<std::string>& args, const TempDir& scratch, const std::string& prefix = "") {
    std::string cmd = prefix + Quote(TARNWICK_EXE);
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

std::string Output(const std::string& command) {
    std::string out;
    std::FILE* p = ::popen(command.c_str(), "r");
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Converter, ConvertsTheSamplesToEachFormat) {
    for (std::string format : {"txt", "htm", "html", "rtf"}) {
        TempDir out, scratch;
        Result r =
            Convert({"--convert-to", format, kSamples + "/welcome.pd", kSamples + "/budget.pd", "--outdir", out.path()},
                    scratch);
        EXPECT_EQ(r.status, 0) << format << r.err;
        EXPECT_EQ(r.err, "") << format;
        std::string ext = format;
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

// A real spreadsheet in both layouts: the converter writes what the
// writers write with the layout's cells.
TEST(Converter, WritesTheLayoutAsked) {
    const std::string sheet = TARNWICK_SOURCE_DIR "/tests/data/real-documents/spreadsheets/pd4-example-financial.pd";
    test::Fixture f;
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, sheet);
    auto pipedream = MakeShownCells(f.doc, Layout::PipeDream, ContextFor(sheet));
    StringSink txt, htm, plain_txt, plain_htm;
    WriteText(f.doc, txt, nullptr, {}, pipedream.get());
    WriteHTML(f.fp.sys, f.doc, htm, nullptr, {}, pipedream.get());
    WriteText(f.doc, plain_txt);
    WriteHTML(f.fp.sys, f.doc, plain_htm);
    // The initial amount of the CTERM example, with its pound sign.
    ASSERT_NE(txt.bytes.find("\xA3"
                             "1000.00\t"),
              std::string::npos);
    ASSERT_NE(htm.bytes.find("&#163;1000.00"), std::string::npos);

    for (const std::string layout : {"pipedream", "PipeDream", "plain", ""}) {
        SCOPED_TRACE(layout);
        TempDir out, scratch;
        for (std::string format : {"txt", "htm", "rtf", "pdf"}) {
            std::vector<std::string> args = {"--convert-to", format, sheet, "--outdir", out.path()};
            if (!layout.empty()) args.push_back("--layout=" + layout);
            Result r = Convert(args, scratch);
            ASSERT_EQ(r.status, 0) << r.err;
        }
        bool pd = layout == "pipedream" || layout == "PipeDream";
        EXPECT_EQ(ReadFile(out / "pd4-example-financial.txt"), pd ? txt.bytes : plain_txt.bytes);
        EXPECT_EQ(ReadFile(out / "pd4-example-financial.htm"), pd ? htm.bytes : plain_htm.bytes);
        std::string rtf = ReadFile(out / "pd4-example-financial.rtf");
        EXPECT_EQ(rtf.find("\\'A3"
                           "7.27") != std::string::npos,
                  pd);
        EXPECT_EQ(rtf.find("cterm(C5,B5,A5)") != std::string::npos, !pd);
        std::string pdf = Output("pdftotext -layout " + Quote(out / "pd4-example-financial.pdf") + " -");
        EXPECT_EQ(pdf.find("7.27") != std::string::npos, pd);
        EXPECT_EQ(pdf.find("cterm(C5,B5,A5)") != std::string::npos, !pd);
    }
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
    // For a format that starts Qt, the first file is read while Qt starts:
    // a bad one there is refused as anywhere else.
    const struct {
        const char* format;
        std::vector<int> order;  // of the four files below
    } cases[] = {{"txt", {0, 1, 2, 3}}, {"rtf", {0, 1, 2, 3}}, {"rtf", {1, 0, 2, 3}}, {"rtf", {2, 3, 1, 0}}};
    for (const auto& c : cases) {
        TempDir out, scratch;
        std::string missing = out / "missing.pd";
        const std::string files[] = {kSamples + "/welcome.pd", missing, kSamples + "/samples.l",
                                     kSamples + "/budget.pd"};
        std::vector<std::string> args = {"--convert-to", c.format, "--outdir", out.path()};
        for (int i : c.order) args.push_back(files[i]);
        Result r = Convert(args, scratch);
        std::string ext = std::string(".") + c.format;
        EXPECT_EQ(r.status, 1) << c.format;
        EXPECT_NE(r.err.find("tarnwick: " + missing + ": File not found (error 53); not converted\n"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(kSamples + "/samples.l: not a PipeDream document; nothing written"), std::string::npos)
            << r.err;
        EXPECT_EQ(Files(out.path()), (std::vector<std::string>{"budget" + ext, "welcome" + ext})) << c.format;
    }
}

TEST(Converter, SaysInOneLineWhatHappenedToWhichFileAndNeverAsks) {
    TempDir scratch, ro, docs;
    std::string unwritable = ro.path();
    if (::geteuid() == 0) unwritable = "/sys";  // refuses new files even to root
    else ::chmod(ro.path().c_str(), 0555);
    std::string welcome = kSamples + "/welcome.pd";
    std::string overflow = docs.Write("big.pd", "%OP%PL99999\n%CO:A,8,0%x\n");
    const struct {
        const char* format;
        std::string file;
        std::string line;
    } cases[] = {
        {"rtf", welcome,
         welcome + ": cannot write " + unwritable + "/welcome.rtf: Permission denied (error 70); nothing written"},
        {"txt", welcome,
         welcome + ": cannot write " + unwritable + "/welcome.txt: Permission denied (error 70); nothing written"},
        {"pdf", welcome,
         welcome + ": cannot write " + unwritable + "/welcome.pdf: Permission denied (error 70); nothing written"},
        // A failure whose report offers the error log: the offer is a
        // question nobody can answer here, so it is not printed.
        {"txt", overflow, overflow + ": cannot be read: Overflow (error 6); not converted"},
    };
    for (const auto& c : cases) {
        Result r = Convert({"--convert-to", c.format, "--outdir", unwritable, c.file}, scratch);
        EXPECT_EQ(r.status, 1) << c.line;
        EXPECT_EQ(r.err, "tarnwick: " + c.line + "\n");
    }
}

// Every entry under a folder: a file's bytes, a link's target.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = fs::relative(e.path(), dir).string();
        if (e.is_symlink()) entries[name] = "link to " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file()) entries[name] = ReadFile(e.path());
        else entries[name] = "folder";
    }
    return entries;
}

const std::string kWelcome = ReadFile(kSamples + "/welcome.pd");
const std::string kBudget = ReadFile(kSamples + "/budget.pd");

TEST(Converter, NeverReplacesAnInputOrAnOutputOfTheSameRun) {
    // W and B stand for two documents; an output made from one of them
    // shows its title line.
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // name -> "W", "B", "dir", "ln:X", "sym:X"
        std::vector<std::string> args;
        std::vector<std::string> refusals;
        std::map<std::string, std::string> written;  // output -> "W" or "B"
    } cases[] = {
        {"an output over a later input",
         {{"notes.pd", "W"}, {"notes.txt", "B"}},
         {"--convert-to", "txt", "notes.pd", "notes.txt"},
         {"notes.pd: the output notes.txt is notes.txt, which this run converts too; nothing written",
          "notes.txt: the output notes.txt is the input itself; nothing written"},
         {}},
        {"names differing in case only",
         {{"a.pd", "W"}, {"a.PD", "B"}},
         {"--convert-to", "txt", "a.pd", "a.PD"},
         {"a.PD: a.txt was already written from a.pd in this run; not overwritten"},
         {{"a.txt", "W"}}},
        {"a name without extension and the same with one",
         {{"a", "W"}, {"a.pd", "B"}},
         {"--convert-to", "htm", "a", "a.pd"},
         {"a.pd: a.htm was already written from a in this run; not overwritten"},
         {{"a.htm", "W"}}},
        {"one file spelled twice",
         {{"a.pd", "W"}},
         {"--convert-to", "txt", "./a.pd", "a.pd"},
         {"a.pd: a.txt was already written from ./a.pd in this run; not overwritten"},
         {{"a.txt", "W"}}},
        {"two folders into one --outdir",
         {{"x", "dir"}, {"y", "dir"}, {"out", "dir"}, {"x/a.pd", "W"}, {"y/a.pd", "B"}},
         {"--convert-to", "txt", "--outdir", "out", "x/a.pd", "y/a.pd"},
         {"y/a.pd: out/a.txt was already written from x/a.pd in this run; not overwritten"},
         {{"out/a.txt", "W"}}},
        {"an input in --outdir",
         {{"out", "dir"}, {"a.pd", "W"}, {"out/a.txt", "B"}},
         {"--convert-to", "txt", "--outdir", "out", "a.pd", "out/a.txt"},
         {"a.pd: the output out/a.txt is out/a.txt, which this run converts too; nothing written",
          "out/a.txt: the output out/a.txt is the input itself; nothing written"},
         {}},
        {"an output name hard-linked to an input",
         {{"a.pd", "W"}, {"b.pd", "B"}, {"a.txt", "ln:b.pd"}},
         {"--convert-to", "txt", "a.pd", "b.pd"},
         {"a.pd: the output a.txt is b.pd, which this run converts too; nothing written"},
         {{"b.txt", "B"}}},
        {"an output name that is a symbolic link to an input",
         {{"a.pd", "W"}, {"b.pd", "B"}, {"a.txt", "sym:b.pd"}},
         {"--convert-to", "txt", "a.pd", "b.pd"},
         {"a.pd: the output a.txt is b.pd, which this run converts too; nothing written"},
         {{"b.txt", "B"}}},
        {"an output name that is a symbolic link to its own input",
         {{"n.pd", "W"}, {"n.htm", "sym:n.pd"}},
         {"--convert-to", "htm", "n.pd"},
         {"n.pd: the output n.htm is the input itself; nothing written"},
         {}},
    };
    for (const auto& c : cases) {
        TempDir dir, scratch;
        for (const auto& [name, kind] : c.files) {
            if (kind == "dir") fs::create_directory(dir / name);
            else if (kind.rfind("ln:", 0) == 0) fs::create_hard_link(dir / kind.substr(3), dir / name);
            else if (kind.rfind("sym:", 0) == 0) fs::create_symlink(kind.substr(4), dir / name);
            else dir.Write(name, kind == "W" ? kWelcome : kBudget);
        }
        auto before = Snapshot(dir.path());
        Result r = Convert(c.args, scratch, "cd " + Quote(dir.path()) + " && ");
        EXPECT_EQ(r.status, 1) << c.what;
        for (const auto& line : c.refusals)
            EXPECT_NE(r.err.find("tarnwick: " + line + "\n"), std::string::npos) << c.what << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), static_cast<long>(c.refusals.size())) << r.err;
        auto after = Snapshot(dir.path());
        for (const auto& [name, content] : before) EXPECT_EQ(after[name], content) << c.what << ": " << name;
        for (const auto& [out, from] : c.written) {
            ASSERT_EQ(before.count(out), 0u) << c.what;
            EXPECT_NE(after[out].find(from == "W" ? "Welcome to Tarnwick" : "Household budget 2026"), std::string::npos)
                << c.what << ": " << out;
        }
        EXPECT_EQ(after.size(), before.size() + c.written.size()) << c.what;
    }
}

TEST(Converter, ReplacesASymbolicLinkAtTheOutputNeverWritesThroughIt) {
    for (std::string format : {"txt", "htm", "rtf", "pdf"}) {
        for (bool dangling : {false, true}) {
            TempDir dir, scratch;
            fs::create_directory(dir / "out");
            fs::create_directory(dir / "elsewhere");
            if (!dangling) dir.Write("elsewhere/target", "keep");
            std::string link = dir / ("out/welcome." + format);
            fs::create_symlink(dir / "elsewhere/target", link);
            Result r = Convert({"--convert-to", format, "--outdir", dir / "out", kSamples + "/welcome.pd"}, scratch);
            EXPECT_EQ(r.status, 0) << format << r.err;
            EXPECT_FALSE(fs::is_symlink(link)) << format;
            EXPECT_GT(fs::file_size(link), 100u) << format;
            if (dangling) EXPECT_FALSE(fs::exists(dir / "elsewhere/target")) << format;
            else EXPECT_EQ(ReadFile(dir / "elsewhere/target"), "keep") << format;
        }
    }
}

TEST(Converter, NamesAreBytes) {
    for (std::string format : {"txt", "pdf"}) {
        TempDir dir, scratch;
        std::string e9 = dir.Write("a\xe9.pd", kWelcome), ff = dir.Write("a\xff.pd", kBudget);
        Result r = Convert({"--convert-to", format, e9, ff}, scratch);
        EXPECT_EQ(r.status, 0) << format << r.err;
        EXPECT_EQ(Files(dir.path()),
                  (std::vector<std::string>{"a\xe9.pd", "a\xe9." + format, "a\xff.pd", "a\xff." + format}))
            << format;
        auto text = [&](const std::string& name) {
            std::string path = dir / name;
            return format == "pdf" ? Output("pdftotext " + Quote(path) + " -") : ReadFile(path);
        };
        EXPECT_NE(text("a\xe9." + format).find("Welcome to Tarnwick"), std::string::npos) << format;
        EXPECT_NE(text("a\xff." + format).find("Household budget 2026"), std::string::npos) << format;
    }
}

// A document of `rows` rows of two columns.
std::string LongDocument(int rows) {
    std::string doc = "%OP%DELong\n%CO:A,30,72%";
    for (int r = 1; r <= rows; ++r) doc += "Row " + std::to_string(r) + " of a long document, column A\n";
    doc += "%CO:B,30,72%";
    for (int r = 1; r <= rows; ++r) doc += "%H2%" + std::to_string(r) + "%H2% in column B\n";
    return doc;
}

TEST(Converter, AFailedWriteLeavesTheEarlierFileWholeAndNothingElse) {
    // A file size limit of 32 KB makes every write beyond it fail, as a
    // full disk does, in the converter and in the PDF printer alike.
    TempDir dir;
    std::string doc = dir.Write("long.pd", LongDocument(4000));
    for (std::string format : {"txt", "htm", "rtf", "pdf"}) {
        TempDir out, scratch;
        std::string earlier = out.Write("long." + format, "the earlier output, whole");
        Result r =
            Convert({"--convert-to", format, "--outdir", out.path(), doc}, scratch, "trap '' XFSZ; ulimit -f 64; ");
        EXPECT_EQ(r.status, 1) << format;
        EXPECT_NE(r.err.find(doc + ": cannot write " + earlier + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Disk full"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(Snapshot(out.path()),
                  (std::map<std::string, std::string>{{"long." + format, "the earlier output, whole"}}))
            << format;
    }
}

TEST(Converter, AFullDiskLeavesTheEarlierFileWholeAndNothingElse) {
    TempDir dir, mount;
    std::string doc = dir.Write("long.pd", LongDocument(20000));
    std::string cmd = "mount -t tmpfs -o size=256k tarnwick-test " + Quote(mount.path()) + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here; the file size limit test stands in for it";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { EXPECT_EQ(std::system(("umount " + Quote(path)).c_str()), 0); }
    } unmount{mount.path()};
    for (std::string format : {"txt", "pdf"}) {
        TempDir scratch;
        std::string earlier = mount.Write("long." + format, "the earlier output, whole");
        Result r = Convert({"--convert-to", format, "--outdir", mount.path(), doc}, scratch);
        EXPECT_EQ(r.status, 1) << format;
        EXPECT_NE(r.err.find(doc + ": cannot write " + earlier + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Disk full"), std::string::npos) << r.err;
        EXPECT_EQ(Snapshot(mount.path()),
                  (std::map<std::string, std::string>{{"long." + format, "the earlier output, whole"}}))
            << format;
        fs::remove(earlier);
    }
}

TEST(Converter, AKilledConversionLeavesTheEarlierFileWholeAndNothingElse) {
    const struct {
        const char* format;
        int rows;
    } cases[] = {{"txt", 1000000}, {"pdf", 20000}};
    for (const auto& c : cases) {
        TempDir dir, out;
        std::string doc = dir.Write("long.pd", LongDocument(c.rows));
        std::string earlier = out.Write(std::string("long.") + c.format, "the earlier output, whole");
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (!std::freopen("/dev/null", "w", stderr)) ::_exit(126);
            ::execl(TARNWICK_EXE, TARNWICK_EXE, "--convert-to", c.format, "--outdir", out.path().c_str(), doc.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait until the output is being written: the converter holds an
        // open file in the output folder with bytes in it.
        bool writing = false;
        for (int i = 0; i < 60000 && !writing; ++i) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
                std::string target = fs::read_symlink(e.path(), ec).string();
                struct stat st {};
                if (target.rfind(out.path() + "/", 0) == 0 && ::stat(e.path().c_str(), &st) == 0 && st.st_size > 0) {
                    writing = true;
                }
            }
            if (!writing) {
                int status = 0;
                if (::waitpid(pid, &status, WNOHANG) == pid) break;
                ::usleep(1000);
            }
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ASSERT_TRUE(writing) << c.format << ": the conversion ended before it could be interrupted";
        EXPECT_EQ(Snapshot(out.path()),
                  (std::map<std::string, std::string>{{std::string("long.") + c.format, "the earlier output, whole"}}))
            << c.format;
    }
}

TEST(Converter, RefusesWhatIsNoRegularFileAtOnceAndGoesOn) {
    TempDir dir, scratch;
    std::string fifo = dir / "pipe.pd", socket = dir / "socket.pd", folder = dir / "folder.pd";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_directory(folder);
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socket.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, socket.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::string good = dir.Write("good.pd", kWelcome);
    // A converter that waits on the pipe is stopped after 60 s and fails.
    Result r =
        Convert({"--convert-to", "txt", fifo, "/dev/zero", folder, socket, good}, scratch, "timeout -s KILL 60 ");
    ::close(s);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "tarnwick: " + fifo + ": is a named pipe, not a document file; not converted\n" +
                         "tarnwick: /dev/zero: is a device, not a document file; not converted\n" +
                         "tarnwick: " + folder + ": is a folder, not a document file; not converted\n" +
                         "tarnwick: " + socket + ": is a socket, not a document file; not converted\n");
    EXPECT_NE(ReadFile(dir / "good.txt").find("Welcome to Tarnwick"), std::string::npos);
}

TEST(Converter, APdfWithNothingPrintedKeepsTheEarlierOneAndSaysWhy) {
    const struct {
        const char* bytes;
        const char* why;
    } cases[] = {
        {"%OP%DENo rows\n", "the document has no rows, so there is nothing to print; nothing written"},
        {"%OP%TM30000\n%CO:A,8,72%x\n",
         "nothing was printed: the PDF page holds no more lines than the document's margins, header and footer "
         "take; nothing written"},
    };
    for (const auto& c : cases) {
        TempDir dir, scratch;
        std::string doc = dir.Write("doc.pd", c.bytes);
        dir.Write("doc.pdf", "the earlier PDF");
        Result r = Convert({"--convert-to", "pdf", doc}, scratch);
        EXPECT_EQ(r.status, 1) << c.why;
        EXPECT_EQ(r.err, "tarnwick: " + doc + ": " + c.why + "\n");
        EXPECT_EQ(Snapshot(dir.path()),
                  (std::map<std::string, std::string>{{"doc.pd", c.bytes}, {"doc.pdf", "the earlier PDF"}}));
    }
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
    EXPECT_NE(rtf.find("{\\header\\pard\\f2\\fs24\\tqc"), std::string::npos);
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
        {{"--convert-to", "txt", "--layout", "fancy", "a.pd"}, 2, "unknown layout 'fancy': use plain or pipedream"},
        {{"--convert-to", "txt", "a.pd", "--layout"}, 2, "--layout needs a layout"},
        {{"--convert-to", "pdf", "--page-length", "6x", "a.pd"}, 2, "--page-length '6x': give a whole number"},
        {{"--convert-to", "pdf", "--page-length=0", "a.pd"}, 2, "--page-length '0'"},
        {{"--convert-to", "pdf", "--page-length"}, 2, "--page-length needs a number"},
        {{"--convert-to=pdq", "a.pd"}, 2, "unknown format 'pdq'"},
        {{"--convert-to=", "a.pd"}, 2, "unknown format ''"},
        {{"--convert-to", "txt", "--outdir=", "a.pd"}, 2, "--outdir needs a folder"},
        {{"--convert-to", "txt", "a.pd", "--outdir"}, 2, "--outdir needs a folder"},
        {{"--convert-to", "txt", "-o", "x", "a.pd"}, 2, "-o takes only '-'"},
        {{"--convert-to", "txt", "-o", "", "a.pd"}, 2, "-o takes only '-'"},
        {{"--convert-to", "txt", "a.pd", "-o"}, 2, "-o takes only '-'"},
        {{"--convert-to", "txt", "-o=-", "a.pd"}, 2, "unknown option '-o=-'"},
        {{"--convert-to", "txt", "--quiet=yes", "a.pd"}, 2, "unknown option '--quiet=yes'"},
        {{"--convert-to", "txt", "--help=me"}, 2, "unknown option '--help=me'"},
        {{"--convert-to", "txt", "--outdirx", "a.pd"}, 2, "unknown option '--outdirx'"},
        {{"--convert-to", "txt", "--stdout", "a.pd", "b.pd"}, 2, "--stdout writes one file"},
        {{"--convert-to", "txt", "-o", "-", "--outdir", "/tmp", "a.pd"}, 2, "--stdout and --outdir do not go together"},
        {{"--convert-to", "txt", "-", "-"}, 2, "standard input can be read once only"},
        {{"--convert-to", "txt", "--", "--help"}, 1, "--help"},  // after "--" a name, not an option
        {{"--layout", "plain", "a.pd", "--convert-to"}, 2, "--convert-to needs a format"},
    };
    for (const auto& c : cases) {
        Result r = Convert(c.args, scratch);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    Result help = Convert({"--help"}, scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tarnwick --convert-to FORMAT FILE... [--outdir DIR]"), std::string::npos);
    for (const char* name : {"-h", "--help"}) {
        Result h = Convert({"--convert-to", "pdq", name, "a.pd"}, scratch);
        EXPECT_EQ(h.status, 2) << "a mistake before " << name << " is reported";
        h = Convert({name, "--convert-to", "pdq"}, scratch);
        EXPECT_EQ(h.status, 0) << name << " ends the run before the mistake after it";
        EXPECT_EQ(h.out, help.out) << name;
    }
    Result version = Convert({"--version"}, scratch);
    EXPECT_EQ(version.out, "tarnwick 0.19\n");
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
    std::string doc =
        "%OP%DEQuarterly figures\n%OP%HE/Report/@T@/Page @P@\n%OP%FO//Tarnwick print test//\n"
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

// The rows on each page of a PDF, by pdftotext.
std::vector<int> RowsPerPage(const std::string& pdf) {
    std::vector<int> counts;
    for (const std::string& page : Split(Output("pdftotext -layout " + Quote(pdf) + " -"), '\f')) {
        int rows = 0;
        for (const std::string& line : Split(page, '\n')) rows += line.find("row ") != std::string::npos;
        if (rows > 0) counts.push_back(rows);
    }
    return counts;
}

TEST(Converter, TakesTheDocumentsPageLengthWhereThePageHoldsIt) {
    const struct {
        const char* name;
        const char* options;
        std::vector<std::string> args;
        int first_page;  // rows on the first page; 0: nothing printed
    } cases[] = {
        {"the document's 40 lines", "%OP%PL40\n", {}, 29},
        {"the default 66 lines", "", {}, 55},
        {"a length given", "%OP%PL40\n", {"--page-length", "50"}, 39},
        {"a length given with =", "", {"--page-length=20"}, 9},
        {"a length longer than the page", "", {"--page-length", "400"}, 0},
    };
    for (const auto& c : cases) {
        TempDir dir, scratch;
        std::string doc = std::string(c.options) + "%CO:A,20,72%";
        for (int r = 1; r <= 120; ++r) doc += "row " + std::to_string(r) + "\n";
        dir.Write("rows.pd", doc);
        std::vector<std::string> args = {"--convert-to", "pdf"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(dir / "rows.pd");
        Result r = Convert(args, scratch);
        if (c.first_page == 0) {
            EXPECT_EQ(r.status, 1) << c.name;
            EXPECT_NE(r.err.find("A page length of 400 lines does not fit"), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(dir / "rows.pdf")) << c.name;
            continue;
        }
        ASSERT_EQ(r.status, 0) << c.name << r.err;
        std::vector<int> pages = RowsPerPage(dir / "rows.pdf");
        ASSERT_FALSE(pages.empty()) << c.name;
        EXPECT_EQ(pages[0], c.first_page) << c.name;
        int total = 0;
        for (int n : pages) total += n;
        EXPECT_EQ(total, 120) << c.name;
    }

    // A page length the page cannot hold: as many lines as it holds.
    TempDir dir, scratch;
    std::string doc = "%OP%PL400\n%CO:A,20,72%";
    for (int r = 1; r <= 300; ++r) doc += "row " + std::to_string(r) + "\n";
    dir.Write("long.pd", doc);
    ASSERT_EQ(Convert({"--convert-to", "pdf", dir / "long.pd"}, scratch).status, 0);
    std::vector<int> pages = RowsPerPage(dir / "long.pdf");
    ASSERT_GE(pages.size(), 2u);
    EXPECT_GT(pages[0], 55);
    EXPECT_LT(pages[0], 100);
}

struct Word {
    double x_min, y_min, x_max, y_max;
    std::string text;
};

// The words of page 1 with their boxes in points, and the page's height.
std::vector<Word> WordsOfPage1(const std::string& pdf, double& height) {
    std::string html = Output("pdftotext -bbox -f 1 -l 1 " + Quote(pdf) + " -");
    std::smatch m;
    height = 0;
    if (std::regex_search(html, m, std::regex("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""))) {
        height = std::stod(m[2]);
    }
    std::vector<Word> words;
    std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
        words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]), (*it)[5]});
    }
    return words;
}

// With no bottom margin the footer is the page's last line: it stays
// inside the printable area, a quarter inch from the paper's edges, as
// does everything else. The document's title is the PDF's.
TEST(Converter, ThePdfPageKeepsEveryLineInsideItsMargins) {
    TempDir dir, scratch;
    std::string doc =
        "%OP%DEThe manual\n%OP%PL400\n%OP%HM0\n%OP%FM3\n%OP%BM0\n%OP%LM6\n%OP%FO//lastline @P@//\n"
        "%CO:A,80,80%";
    for (int r = 1; r <= 200; ++r) doc += "row " + std::to_string(r) + "\n";
    dir.Write("manual.pd", doc);
    ASSERT_EQ(Convert({"--convert-to", "pdf", dir / "manual.pd"}, scratch).status, 0);
    double height = 0;
    std::vector<Word> words = WordsOfPage1(dir / "manual.pdf", height);
    ASSERT_GT(height, 700);
    ASSERT_FALSE(words.empty());
    const Word* footer = nullptr;
    for (const Word& w : words) {
        EXPECT_GE(w.y_min, 18 - 0.5) << w.text;
        EXPECT_LE(w.y_max, height - 18 + 0.5) << w.text;
        EXPECT_GE(w.x_min, 18 - 0.5) << w.text;
        if (w.text == "lastline") footer = &w;
    }
    ASSERT_NE(footer, nullptr);
    for (const Word& w : words) EXPECT_LE(w.y_min, footer->y_min) << w.text << " below the footer";
    EXPECT_NE(Output("pdfinfo " + Quote(dir / "manual.pdf")).find("Title:           The manual\n"), std::string::npos);

    // Without a title, the file name.
    dir.Write("untitled.pd", "%CO:A,8,0%x\n");
    ASSERT_EQ(Convert({"--convert-to", "pdf", dir / "untitled.pd"}, scratch).status, 0);
    EXPECT_NE(Output("pdfinfo " + Quote(dir / "untitled.pdf")).find("Title:           untitled.pd\n"),
              std::string::npos);
}

TEST(Converter, EveryRealDocumentConverts) {
    auto docs = test::RealDocuments();
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

namespace tw {
namespace {

// Fields of an RFC 4180 text, row by row; lines must end with CR LF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, bool& well_formed) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    well_formed = true;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) return well_formed = false, rows;
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
                    else break;
                } else {
                    field += text[i];
                }
            }
            ++i;
        }
        while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') field += text[i++];
        row.push_back(field);
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0) return well_formed = false, rows;
        i += 2;
        rows.push_back(row);
        row.clear();
    }
    return rows;
}

std::string SpreadsheetsFolder() {
    std::string own = TARNWICK_SOURCE_DIR "/tests/data/real-documents/spreadsheets";
    if (fs::is_directory(own)) return own;
    return test::RealDocumentsFolder() + "/spreadsheets";
}

// Every number cell of the fifteen example spreadsheets computes: its CSV
// field is never an error name; a few results are checked against the
// values the examples are about.
TEST(Converter, RealSpreadsheetsComputeEveryNumberCell) {
    std::vector<std::string> docs;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(SpreadsheetsFolder(), ec))
        if (e.path().extension() == ".pd") docs.push_back(e.path().string());
    std::sort(docs.begin(), docs.end());
    ASSERT_EQ(docs.size(), 15u) << SpreadsheetsFolder();

    std::set<std::string> error_names;
    for (int e = 0; e <= static_cast<int>(formula::ErrorCode::WronglyNestedLoop); ++e)
        error_names.insert(std::string(formula::ErrorName(static_cast<formula::ErrorCode>(e))));

    TempDir out, scratch;
    std::vector<std::string> args = {"--convert-to", "csv", "--outdir", out.path()};
    args.insert(args.end(), docs.begin(), docs.end());
    Result r = Convert(args, scratch);
    ASSERT_EQ(r.status, 0) << r.err;

    std::map<std::string, std::vector<std::vector<std::string>>> sheets;
    int number_cells = 0;
    for (const std::string& doc : docs) {
        std::string name = fs::path(doc).stem().string();
        bool ok = false;
        auto rows = ParseCsv(ReadFile(out / (name + ".csv")), ok);
        ASSERT_TRUE(ok) << name;
        test::Fixture f;
        f.Load(ReadFile(doc));
        ASSERT_EQ(static_cast<int>(rows.size()), f.doc.NumRows) << name;
        for (int row = 1; row <= f.doc.NumRows; ++row) {
            ASSERT_EQ(static_cast<int>(rows[row - 1].size()), f.doc.NumCols) << name << " row " << row;
            for (int col = 1; col <= f.doc.NumCols; ++col) {
                if (!ParseCellConstructs(f.doc.Cells(col, row)).is_number) continue;
                ++number_cells;
                const std::string& field = rows[row - 1][col - 1];
                EXPECT_FALSE(error_names.count(field)) << name << " " << formula::ColumnName(col) << row << ": "
                                                       << f.doc.Cells(col, row) << " gave " << field;
            }
        }
        sheets[name] = std::move(rows);
    }
    EXPECT_GT(number_cells, 700);

    struct Spot {
        const char* sheet;
        int row, col;
        const char* field;
        double number;
    };
    const Spot spots[] = {
        {"pd4-example-financial", 5, 5, nullptr, 7.2725},    // CTERM: doubling at 10%
        {"pd4-example-financial", 9, 5, nullptr, 2000},      // DDB, first year
        {"pd4-example-financial", 41, 5, nullptr, 80},       // SLN
        {"pd4-example-financial", 49, 5, nullptr, 31.9433},  // TERM
        {"pd4-example-date", 5, 5, "1961-03-17", 0},        {"pd4-example-date", 6, 5, "1991-06-30", 0},
        {"pd4-example-date", 14, 5, "17:12:35", 0},         {"pd4-example-string", 9, 6, "Colton Software", 0},
        {"pd4-example-string", 13, 6, "respond", 0},        {"pd4-example-database", 19, 5, nullptr, 20},  // DSUM
        {"pd4-example-maths-maths", 13, 5, nullptr, 3},                                                    // MOD(51,8)
        {"pd4-example-maths-mod", 7, 6, nullptr, 3},                                                       // MOD(11,4)
    };
    for (const Spot& s : spots) {
        SCOPED_TRACE(std::string(s.sheet) + " row " + std::to_string(s.row));
        const auto& rows = sheets[s.sheet];
        ASSERT_GE(rows.size(), static_cast<std::size_t>(s.row));
        const std::string& field = rows[s.row - 1][s.col - 1];
        if (s.field) EXPECT_EQ(field, s.field);
        else EXPECT_NEAR(std::strtod(field.c_str(), nullptr), s.number, 1e-4) << field;
    }
}

// The first bytes each format's output starts with.
const std::map<std::string, std::string> kMagic = {
    {"rtf", "{\\rtf1"},    {"txt", "Welcome to Tarnwick"},  {"htm", "<html>"},
    {"pdf", "%PDF-"},      {"csv", "Welcome to Tarnwick,"}, {"ods", "PK\x03\x04"},
    {"xlsx", "PK\x03\x04"}};

TEST(ConverterFormats, UsageNamesAndExtensionsAllComeFromTheOneTable) {
    std::string usage = UsageText(), names = FormatNamesText();
    TempDir scratch;
    Result unknown = Convert({"--convert-to", "pdq", "a.pd"}, scratch);
    Result missing = Convert({"--convert-to"}, scratch);
    int count = 0;
    for (const Format& f : Formats()) {
        EXPECT_NE(usage.find(std::string(f.summary) + "\n"), std::string::npos) << f.summary;
        for (const FormatName& n : f.names) {
            if (!n.name) continue;
            ++count;
            SCOPED_TRACE(n.name);
            const char* ext = nullptr;
            EXPECT_EQ(FindFormat(n.name, &ext), &f);
            EXPECT_STREQ(ext, (std::string(".") + n.name).c_str());
            EXPECT_NE(usage.find(n.name), std::string::npos);
            EXPECT_NE(names.find(n.name), std::string::npos);
            // Converting by that name writes a file of that extension,
            // and of the format's own kind.
            TempDir out;
            Result r = Convert({"--convert-to", n.name, "--outdir", out.path(), kSamples + "/welcome.pd"}, scratch);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(Files(out.path()), std::vector<std::string>{std::string("welcome") + ext});
            EXPECT_EQ(ReadFile(out / (std::string("welcome") + ext)).rfind(kMagic.at(f.names[0].name), 0), 0u);
        }
    }
    EXPECT_EQ(count, 8);
    EXPECT_EQ(names, "rtf, txt, htm, html, pdf, csv, ods or xlsx");
    EXPECT_EQ(FindFormat("pdq"), nullptr);
    EXPECT_EQ(unknown.err,
              "tarnwick: unknown format 'pdq': use " + names + "\nTry 'tarnwick --help' for more information.\n");
    EXPECT_NE(missing.err.find("--convert-to needs a format: " + names), std::string::npos);
    EXPECT_EQ(Convert({"--help"}, scratch).out, usage);
}

TEST(Converter, ReadsStandardInputAndWritesStandardOutput) {
    test::Fixture f;
    ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, kSamples + "/welcome.pd");
    StringSink txt, htm;
    WriteText(f.doc, txt);
    WriteHTML(f.fp.sys, f.doc, htm);
    const std::string welcome = Quote(kSamples + "/welcome.pd");
    const struct {
        const char* what;
        std::string prefix;  // what runs before the converter
        std::vector<std::string> args;
        int status;
        std::string out;                 // standard output; "%PDF-..." its start only
        std::string err;                 // all of stderr
        std::vector<std::string> files;  // then in the folder it runs in
    } cases[] = {
        {"- to --stdout", "cat " + welcome + " | ", {"--convert-to", "txt", "-", "--stdout"}, 0, txt.bytes, "", {}},
        {"- to -o -", "cat " + welcome + " | ", {"--convert-to", "htm", "-o", "-", "-"}, 0, htm.bytes, "", {}},
        {"a file to --stdout",
         "",
         {"--convert-to", "html", "--stdout", kSamples + "/welcome.pd"},
         0,
         htm.bytes,
         "",
         {}},
        {"a PDF to --stdout", "cat " + welcome + " | ", {"--convert-to", "pdf", "--stdout", "-"}, 0, "%PDF-", "", {}},
        {"- to a file", "cat " + welcome + " | ", {"--convert-to", "txt", "-"}, 0, "", "", {"stdin.txt"}},
        {"- redirected from a file", "", {"--convert-to", "txt", "-", "--stdout"}, 0, txt.bytes, "", {}},
        {"- not a document",
         "echo plain text | ",
         {"--convert-to", "txt", "-", "--stdout"},
         1,
         "",
         "tarnwick: standard input: not a PipeDream document; nothing written\n",
         {}},
        {"- longer than the limit",
         "cat " + welcome + " | TARNWICK_STDIN_LIMIT=100 ",
         {"--convert-to", "txt", "-", "--stdout"},
         1,
         "",
         "tarnwick: standard input: more than 100 bytes arrived, the most read from standard input; reading "
         "stopped; not converted\n",
         {}},
        {"- exactly as long as the limit",
         "cat " + welcome + " | TARNWICK_STDIN_LIMIT=" + std::to_string(kWelcome.size()) + " ",
         {"--convert-to", "txt", "-", "--stdout"},
         0,
         txt.bytes,
         "",
         {}},
        {"- one byte longer than the limit",
         "cat " + welcome + " | TARNWICK_STDIN_LIMIT=" + std::to_string(kWelcome.size() - 1) + " ",
         {"--convert-to", "txt", "-", "--stdout"},
         1,
         "",
         "tarnwick: standard input: more than " + std::to_string(kWelcome.size() - 1) +
             " bytes arrived, the most read from standard input; reading stopped; not converted\n",
         {}},
        {"an endless stream",
         "yes %OP%DEx | TARNWICK_STDIN_LIMIT=1000000 ",
         {"--convert-to", "txt", "-"},
         1,
         "",
         "tarnwick: standard input: more than 1000000 bytes arrived, the most read from standard input; reading "
         "stopped; not converted\n",
         {}},
        {"--stdout with two files",
         "",
         {"--convert-to", "txt", "--stdout", "a.pd", "b.pd"},
         2,
         "",
         "tarnwick: --stdout writes one file: give exactly one FILE\nTry 'tarnwick --help' for more information.\n",
         {}},
        {"- twice",
         "",
         {"--convert-to", "txt", "-", "-"},
         2,
         "",
         "tarnwick: standard input can be read once only: give '-' once\nTry 'tarnwick --help' for more "
         "information.\n",
         {}},
        {"-o to a file",
         "",
         {"--convert-to", "txt", "-o", "x.txt", "a.pd"},
         2,
         "",
         "tarnwick: -o takes only '-', standard output; --outdir names a folder\nTry 'tarnwick --help' for more "
         "information.\n",
         {}},
    };
    for (const auto& c : cases) {
        TempDir dir, scratch;
        std::vector<std::string> args = c.args;
        std::string prefix = "cd " + Quote(dir.path()) + " && " + c.prefix;
        if (std::string(c.what) == "- redirected from a file") prefix += "exec <" + welcome + "; ";
        Result r = Convert(args, scratch, prefix);
        EXPECT_EQ(r.status, c.status) << c.what << r.err;
        if (c.out == "%PDF-") {
            EXPECT_EQ(r.out.rfind("%PDF-", 0), 0u) << c.what;
            EXPECT_NE(r.out.find("%%EOF"), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(r.out, c.out) << c.what;
        }
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(Files(dir.path()), c.files) << c.what;
    }
}

TEST(Converter, VersionByEveryName) {
    TempDir scratch;
    for (const char* option : {"--version", "-v", "-V"}) {
        Result r = Convert({option}, scratch);
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.out, "tarnwick 0.19\n") << option;
    }
}

// Runs the converter with its standard streams on a pseudo-terminal and
// returns all it wrote there.
// Standard output and standard error both on one terminal; `status`
// receives the exit status.
std::string OnTerminal(const std::vector<std::string>& args, int* status = nullptr) {
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return "forkpty failed";
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(TARNWICK_EXE)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TARNWICK_EXE, argv.data());
        ::_exit(127);
    }
    std::string seen;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) seen.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else break;  // EIO once the converter has closed its end
    }
    ::close(master);
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return seen;
}

TEST(Converter, ShowsProgressOnATerminalOnlyAndEndsTheLineClean) {
    TempDir dir, out;
    std::string a = dir.Write("a.pd", LongDocument(300)), b = dir.Write("b.pd", LongDocument(300));
    std::string text = dir.Write("plain.pd", "plain text\n");
    const std::string erase = "\r\x1b[K";

    std::string seen = OnTerminal({"--convert-to", "pdf", "--outdir", out.path(), a, b});
    EXPECT_EQ(seen.rfind("\rtarnwick: [1/2] " + a + "\x1b[K", 0), 0u) << seen;
    EXPECT_NE(seen.find("\rtarnwick: [2/2] " + b + "\x1b[K"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\rtarnwick: [1/2] " + a + ": 1 page printed\x1b[K"), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(seen.size() - erase.size()), erase) << seen;
    EXPECT_EQ(seen.find('\n'), std::string::npos) << seen;

    // A problem line starts on a clean line and stands whole.
    seen = OnTerminal({"--convert-to", "txt", "--outdir", out.path(), text, a});
    EXPECT_NE(seen.find(erase + "tarnwick: " + text + ": not a PipeDream document; nothing written\r\n"),
              std::string::npos)
        << seen;
    EXPECT_EQ(seen.substr(seen.size() - erase.size()), erase) << seen;

    EXPECT_EQ(OnTerminal({"--quiet", "--convert-to", "pdf", "--outdir", out.path(), a, b}), "");
    EXPECT_EQ(OnTerminal({"--convert-to", "txt", "-q", "--outdir", out.path(), a}), "");
    // Not on a terminal: nothing but the problems (the other tests check
    // stderr is empty after a good run).
    TempDir scratch;
    Result r = Convert({"--convert-to", "pdf", "--outdir", out.path(), a, b}, scratch);
    EXPECT_EQ(r.err, "");
}

// Under a comma locale the converter writes the digits it writes under C,
// in the formats that start Qt (which switches the C locale) and those
// that do not.
TEST(Converter, ACommaLocaleWritesTheSameDigits) {
    TempDir in, scratch;
    std::string doc = in.Write("n.pd", "%OP%DEn\n%CO:A,24,0%%V%%D2%1234.5*2\n%V%%DF%1/3\n%V%%D1%value(\"2.25\")\n");
    const std::string locpath = test::CommaLocales();
    for (std::string format : {"txt", "csv", "rtf", "pdf"}) {
        auto run = [&](const std::string& locale) {
            // glibc keeps what it read of LOCPATH for the process's life,
            // which a leak checker would otherwise report.
            std::string env = "ASAN_OPTIONS=detect_leaks=0 LOCPATH=" + Quote(locpath) + " LC_ALL=" + locale + " ";
            Result r = Convert({"--convert-to", format, "--layout", "pipedream", doc, "--stdout"}, scratch, env);
            EXPECT_EQ(r.status, 0) << r.err;
            if (format != "pdf") return r.out;
            std::string pdf = scratch / "n.pdf";
            std::ofstream(pdf, std::ios::binary) << r.out;
            return Output("pdftotext -layout " + Quote(pdf) + " -");
        };
        std::string c = run("C.UTF-8");
        EXPECT_NE(c.find(format == "csv" ? "2469" : "2469.00"), std::string::npos) << format << c;
        EXPECT_NE(c.find("0.33333"), std::string::npos) << format;
        for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8"}) EXPECT_EQ(run(locale), c) << format << " " << locale;
    }
}

// Two-digit years stay where they are when the calendar turns: the same
// file gives the same dates at the end of 2026 and the start of 2027.
TEST(Converter, TwoDigitYearsDoNotMoveWithTheClock) {
    TempDir in, scratch;
    std::string doc = in.Write("d.pd", "%CO:A,12,0%%V%1.1.46\n%V%date(29,12,31)\n%V%datevalue(\"30.6.30\")\n");
    for (const char* clock : {"2026-12-31 12:00:00", "2027-01-01 12:00:00"}) {
        // faketime's library is preloaded ahead of a sanitizer's runtime.
        Result r = Convert({"--convert-to", "csv", doc, "--stdout"}, scratch,
                           "ASAN_OPTIONS=verify_asan_link_order=0 faketime -f " + Quote(clock) + " ");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "1946-01-01\r\n2029-12-31\r\n1930-06-30\r\n") << clock;
    }
}

TEST(Converter, AWideSheetPrintsWholeInLandscapeOrFittedAndACutIsSaid) {
    TempDir out, scratch;
    const std::string doc = TARNWICK_SOURCE_DIR "/tests/data/real-documents/spreadsheets/pd4-example-string.pd";
    // The widest Summary cell, as a person reads it off the page.
    const std::string summary = "starting at Input3. Input3 is optional";
    const struct {
        std::vector<std::string> options;
        bool whole;
        const char* said;  // on stderr, after the file's name
        const char* paper;
    } cases[] = {
        {{},
         false,
         ": 17 rows are wider than the page and cut at its right edge; --landscape or --fit-width "
         "prints them whole\n",
         "595 x 842"},
        {{"--landscape"},
         false,
         ": 2 rows are wider than the page and cut at its right edge; --fit-width prints "
         "them whole\n",
         "842 x 595"},
        {{"--fit-width"}, true, nullptr, "595 x 842"},
        {{"--landscape", "--fit-width"}, true, nullptr, "842 x 595"},
    };
    for (const char* layout : {"plain", "pipedream"}) {
        for (const auto& c : cases) {
            std::vector<std::string> args{"--convert-to", "pdf", "--layout", layout, "--outdir", out.path(), doc};
            args.insert(args.end(), c.options.begin(), c.options.end());
            Result r = Convert(args, scratch, "LC_ALL=en_GB.UTF-8 ");
            std::string pdf = out / "pd4-example-string.pdf", what = layout;
            for (const std::string& o : c.options) what += " " + o;
            EXPECT_EQ(r.status, 0) << what;
            EXPECT_EQ(r.err, c.said ? "tarnwick: " + doc + c.said : "") << what;
            std::string text = Output("pdftotext -layout " + Quote(pdf) + " -");
            EXPECT_EQ(text.find(summary) != std::string::npos, c.whole) << what << text;
            EXPECT_NE(Output("pdfinfo " + Quote(pdf)).find(std::string("Page size:       ") + c.paper),
                      std::string::npos)
                << what;
        }
    }
}

// In the PipeDream layout a text wider than its column stops at the next
// cell that shows something, in every format: nothing is written over.
TEST(Converter, PipeDreamLayoutTextStopsAtTheNextCell) {
    const std::string folder = TARNWICK_SOURCE_DIR "/tests/data/real-documents/spreadsheets/";
    const struct {
        const char *format, *document;
        std::string shown, hidden;
    } cases[] = {
        // The dashes of column E stop short of the results after them.
        {"pdf", "pd4-example-string.pd", "This Is A TITLE", "respond-"},
        {"pdf", "pd4-example-string.pd", "emordnilaP a toN", "emordnilaP\n"},
        {"pdf", "pd4-example-stats-listcount.pd", "Order numbeType", "Order number"},
        {"htm", "pd4-example-stats-listcount.pd", "Order numbeType", "Order number"},
        {"rtf", "pd4-example-stats-listcount.pd", "Order numbeType", "Order number"},
        {"txt", "pd4-example-stats-listcount.pd", "Order numbe\tType", "Order number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.document);
        TempDir out, scratch;
        Result r = Convert(
            {"--convert-to", c.format, "--layout", "pipedream", "--outdir", out.path(), folder + c.document, "-q"},
            scratch);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string name = std::string(c.document);
        std::string path = out / (name.substr(0, name.size() - 3) + "." + c.format);
        std::string text =
            std::string(c.format) == "pdf" ? Output("pdftotext -layout " + Quote(path) + " -") : ReadFile(path);
        EXPECT_NE(text.find(c.shown), std::string::npos) << text;
        EXPECT_EQ(text.find(c.hidden), std::string::npos);
    }
}

TEST(Converter, TakesFileUrisAsTheViewerDoes) {
    TempDir dir, scratch;
    dir.Write("my budget.pd", "%OP%DEHousehold budget 2026\n%CO:A,12,72%rent\n");
    const std::string folder = dir.path();
    const struct {
        std::string arg;
        int status;
        bool written;
    } cases[] = {
        {"file://" + folder + "/my%20budget.pd", 0, true},
        {"file://localhost" + folder + "/my%20budget.pd", 0, true},
        {"file://" + folder + "%2Fmy%20budget.pd", 1, false},
    };
    for (const auto& c : cases) {
        fs::remove(dir / "my budget.txt");
        Result r = Convert({"--convert-to", "txt", c.arg}, scratch);
        EXPECT_EQ(r.status, c.status) << c.arg << r.err;
        EXPECT_EQ(fs::exists(dir / "my budget.txt"), c.written) << c.arg;
    }
}

TEST(Converter, OnATerminalTheOutputStandsAloneAndBinaryIsRefused) {
    TempDir dir;
    std::string doc = dir.Write("budget.pd", "%OP%DEHousehold budget 2026\n%CO:A,12,72%rent\nfood\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string seen;  // all the terminal shows (its driver turns LF into CR LF)
    } cases[] = {
        {{"--convert-to", "txt", doc, "--stdout"}, 0, "rent\r\r\nfood\r\r\n"},
        {{"--convert-to", "csv", doc, "-o", "-"}, 0, "rent\r\r\nfood\r\r\n"},
        {{"--convert-to", "pdf", doc, "--stdout"},
         2,
         "tarnwick: will not write pdf to a terminal: redirect standard output to a file or a pipe, or leave out "
         "--stdout\r\nTry 'tarnwick --help' for more information.\r\n"},
        {{"--convert-to", "xlsx", doc, "--stdout"},
         2,
         "tarnwick: will not write xlsx to a terminal: redirect standard output to a file or a pipe, or leave out "
         "--stdout\r\nTry 'tarnwick --help' for more information.\r\n"},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(OnTerminal(c.args, &status), c.seen) << c.args[1];
        EXPECT_EQ(status, c.status) << c.args[1];
    }
}

TEST(Converter, WorkbooksSayInOneLineWhichFormulasWereKeptAsValues) {
    TempDir dir, scratch;
    std::string sheet = dir.Write("sheet.pd", "%CO:A,8,8%%V%2\n%V%reverse(\"ab\")\n%V%[other]a1\n%V%a1*2\n");
    std::string text = dir.Write("letter.pd", "%OP%DELetter\n%CO:A,72,72%Dear %H2%Sir%H2%,\nYours\n");
    for (const char* format : {"ods", "xlsx"}) {
        SCOPED_TRACE(format);
        Result r = Convert({"--convert-to", format, "--outdir", scratch.path(), sheet, text}, scratch);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "tarnwick: " + sheet +
                             ": 2 formulas kept as values only: 1 for a reference to another document; 1 for "
                             "reverse: no target reverses a string\n");
        EXPECT_TRUE(std::filesystem::exists(scratch / (std::string("letter.") + format)));
    }
}

TEST(Converter, HelpAndTheNoDisplayHintNameWhatTheyShould) {
    TempDir scratch;
    Result help = Convert({"--help"}, scratch);
    EXPECT_NE(help.out.find("tarnwick --convert-to FORMAT FILE --stdout [--layout LAYOUT]"), std::string::npos);
    EXPECT_NE(help.out.find("[--outdir DIR] [--layout LAYOUT]"), std::string::npos);
    Result hint = Convert({"x.pd"}, scratch, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ");
    EXPECT_EQ(hint.status, 1);
    EXPECT_NE(hint.err.find("--convert-to rtf|txt|htm|html|pdf|csv"), std::string::npos) << hint.err;
}

}  // namespace
}  // namespace tw

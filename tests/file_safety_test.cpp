// Files are never lost: outputs appear whole or not at all, links are
// replaced rather than written through, and what is no regular file is
// refused at once rather than read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "platform/atomic_output.h"
#include "support.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::ReadFile;
using test::TempDir;

// Every entry of a folder: a file's bytes, a link's target.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        if (e.is_symlink()) entries[name] = "link to " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file()) entries[name] = ReadFile(e.path());
        else entries[name] = "other";
    }
    return entries;
}

TEST(ReadPipeDreamFile, RefusesWhatIsNoRegularFileAtOnce) {
    TempDir dir;
    std::string fifo = dir / "pipe.pd", socket = dir / "socket.pd";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socket.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, socket.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    for (const std::string& name : {fifo, std::string("/dev/zero"), socket, dir.path()}) {
        Fixture f;
        f.fp.msg.answers = {MsgResult::Abort, MsgResult::No};
        // A reader that waits on the pipe, or reads /dev/zero for ever,
        // is ended by the alarm and the test fails.
        ::alarm(30);
        ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, name);
        ::alarm(0);
        EXPECT_EQ(f.fp.msg.Texts(), (std::vector<std::string>{"Error 75 'Path/File access error' in ReadPipeDreamFile",
                                                              "Save error message in " + f.dir / "Errors.txt ?"}))
            << name;
        EXPECT_EQ(f.doc.NumRows, 0) << name;
        EXPECT_FALSE(f.doc.SourceFile) << name;
        EXPECT_FALSE(f.fp.pointer.busy) << name;
    }
    ::close(s);
}

TEST(AtomicOutput, ReplacesTheTargetOnlyWhenCommitted) {
    const struct {
        const char* what;
        const char* target;  // "file", "link", "dangling", "fifo", "folder", "none", "no-folder"
        int open_error;      // 0 when it opens
    } cases[] = {
        {"a new file", "none", 0},
        {"an earlier file", "file", 0},
        {"a symbolic link to a file elsewhere", "link", 0},
        {"a symbolic link to nothing", "dangling", 0},
        {"a named pipe", "fifo", kErrPathFileAccess},
        {"a folder", "folder", kErrPathFileAccess},
        {"a missing folder", "no-folder", kErrPathNotFound},
    };
    for (const auto& c : cases) {
        for (bool commit : {false, true}) {
            TempDir dir, elsewhere;
            std::string t = c.target, target = t == "no-folder" ? dir / "none/out" : dir / "out";
            if (t == "file") dir.Write("out", "earlier");
            if (t == "link") fs::create_symlink(elsewhere.Write("kept", "elsewhere"), target);
            if (t == "dangling") fs::create_symlink(elsewhere / "absent", target);
            if (t == "fifo") ::mkfifo(target.c_str(), 0644);
            if (t == "folder") fs::create_directory(target);
            auto before = Snapshot(dir.path());
            AtomicOutput out;
            try {
                out.Open(target);
                EXPECT_EQ(c.open_error, 0) << c.what;
            } catch (const VbError& e) {
                EXPECT_EQ(e.number(), c.open_error) << c.what;
                EXPECT_EQ(Snapshot(dir.path()), before) << c.what;
                continue;
            }
            ASSERT_EQ(::write(out.Fd(), "new", 3), 3);
            // Until the commit nothing is to be seen.
            EXPECT_EQ(Snapshot(dir.path()), before) << c.what;
            if (commit) out.Commit();
            else out.Discard();
            auto after = Snapshot(dir.path());
            if (commit) {
                EXPECT_EQ(after, (std::map<std::string, std::string>{{"out", "new"}})) << c.what;
                EXPECT_EQ(out.Committed(), IdentityOf(target)) << c.what;
            } else {
                EXPECT_EQ(after, before) << c.what;
            }
            EXPECT_EQ(Snapshot(elsewhere.path()), t == "link"
                                                      ? (std::map<std::string, std::string>{{"kept", "elsewhere"}})
                                                      : (std::map<std::string, std::string>{}))
                << c.what;
        }
    }
}

TEST(AtomicOutput, AReplacedFileKeepsItsPermissions) {
    TempDir dir;
    std::string target = dir.Write("out", "earlier");
    ::chmod(target.c_str(), 0640);
    AtomicOutput out;
    out.Open(target);
    out.Commit();
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(target), "");
}

TEST(IdentityOf, OneFileWhateverItsSpelling) {
    TempDir dir;
    std::string a = dir.Write("a.pd", "x");
    dir.Write("b.pd", "x");
    fs::create_hard_link(a, dir / "hard");
    fs::create_symlink("a.pd", dir / "soft");
    fs::create_directory(dir / "sub");
    const struct {
        std::string name;
        bool follow;
        bool same;
    } cases[] = {
        {dir / "./a.pd", true, true}, {dir / "sub/../a.pd", true, true}, {dir / "hard", true, true},
        {dir / "soft", true, true},   {dir / "soft", false, false},      {dir / "b.pd", true, false},
        {dir / "A.PD", true, false},
    };
    for (const auto& c : cases) {
        auto id = IdentityOf(c.name, c.follow);
        EXPECT_EQ(id.has_value() && id == IdentityOf(a), c.same) << c.name;
    }
}

TEST(FileWriters, AFailedWriteLeavesTheEarlierFileWhole) {
    const struct {
        const char* proc;
        int rows;
        int label;  // a row while the output is written, or its closing
    } cases[] = {
        {"WriteFileTxt", 4000, 3}, {"WriteFileHTML", 4000, 3}, {"WriteRTF", 4000, 3},
        {"WriteFileTxt", 1000, 5}, {"WriteFileHTML", 1000, 5}, {"WriteRTF", 1000, 5},
    };
    for (const auto& c : cases) {
        Fixture f;
        std::string doc = "%CO:A,30,72%";
        for (int r = 0; r < c.rows; ++r) doc += "row " + std::to_string(r) + " of the document %H2%here%H2%\n";
        f.Load(doc);
        TempDir out;
        std::string path = out.Write("out", "earlier");
        f.fp.msg.answers = {MsgResult::Abort};
        {
            test::FileSizeLimit limit(16 * 1024);
            std::string p = c.proc;
            if (p == "WriteFileTxt") WriteFileTxt(f.fp.sys, f.doc, path);
            else if (p == "WriteFileHTML") WriteFileHTML(f.fp.sys, f.doc, path);
            else WriteRTF(f.fp.sys, f.doc, RtfMetrics{}, path);
        }
        EXPECT_EQ(f.fp.msg.Texts(),
                  std::vector<std::string>{"Error 61 'Disk full' at line " + std::to_string(c.label) + " in " + c.proc})
            << c.proc << " " << c.rows;
        EXPECT_EQ(Snapshot(out.path()), (std::map<std::string, std::string>{{"out", "earlier"}})) << c.proc;
    }
}

TEST(FileWriters, RetryAfterAFailedCloseWritesTheWholeFile) {
    Fixture f;
    std::string doc = "%CO:A,30,72%";
    for (int r = 0; r < 1000; ++r) doc += "row " + std::to_string(r) + "\n";
    f.Load(doc);
    TempDir out;
    std::string path = out.Write("out.txt", "earlier");
    auto limit = std::make_unique<test::FileSizeLimit>(1024);
    // The first report lifts the limit, as a user frees space before Retry.
    struct Freeing : fake::FakeMessageBox {
        std::unique_ptr<test::FileSizeLimit>* limit;
        MsgResult Show(const std::string& text, MsgButtons b, MsgIcon i) override {
            limit->reset();
            return FakeMessageBox::Show(text, b, i);
        }
    } msg;
    msg.limit = &limit;
    msg.answers = {MsgResult::Retry};
    Platform sys{msg, f.fp.input, f.fp.process, f.fp.pointer};
    WriteFileTxt(sys, f.doc, path);
    EXPECT_EQ(msg.Texts(), std::vector<std::string>{"Error 61 'Disk full' at line 5 in WriteFileTxt"});
    StringSink expected;
    WriteText(f.doc, expected);
    EXPECT_EQ(Snapshot(out.path()), (std::map<std::string, std::string>{{"out.txt", expected.bytes}}));
}

// The output calls, each logged, those named failing with their error;
// the system's are back at the end.
struct FailingCalls {
    static inline OutputCalls real{};
    static inline std::map<std::string, int> fails;
    static inline std::vector<std::string> log;
    static bool Go(const char* name) {
        log.push_back(name);
        auto f = fails.find(name);
        if (f != fails.end()) errno = f->second;
        return f == fails.end();
    }
    // Where `name` was first called; the number of calls when it was not.
    static long At(const char* name) { return std::find(log.begin(), log.end(), name) - log.begin(); }

    explicit FailingCalls(std::map<std::string, int> failing) {
        real = CurrentOutputCalls();
        fails = std::move(failing);
        log.clear();
        CurrentOutputCalls() = OutputCalls{
            [](int dir) { return Go("open_unnamed") ? real.open_unnamed(dir) : -1; },
            [](int fd) { return Go("data_sync") ? real.data_sync(fd) : -1; },
            [](int fd, int dir, const char* name) { return Go("link") ? real.link(fd, dir, name) : -1; },
            [](int dir, const char* from, const char* to) { return Go("rename") ? real.rename(dir, from, to) : -1; },
            [](int dir) { return Go("folder_sync") ? real.folder_sync(dir) : -1; },
        };
    }
    ~FailingCalls() { CurrentOutputCalls() = real; }
};

// Whatever call of a commit fails, the failure is reported, no temporary
// name is left, and the target keeps its earlier bytes unless the rename
// was done; nothing is linked or renamed before the data were synced.
TEST(AtomicOutput, EveryFailingCallIsReportedAndLeavesNoTemporaryName) {
    const struct {
        const char* fails;
        int error;
        const char* report;  // "" for none
        const char* after;   // the target's bytes
    } cases[] = {
        {"", 0, "", "row\r\n"},
        {"data_sync", EIO, "Error 57 'Device I/O error' at line 5 in WriteFileTxt", "earlier"},
        {"data_sync", ENOSPC, "Error 61 'Disk full' at line 5 in WriteFileTxt", "earlier"},
        {"link", ENOSPC, "Error 61 'Disk full' at line 5 in WriteFileTxt", "earlier"},
        {"rename", EACCES, "Error 70 'Permission denied' at line 5 in WriteFileTxt", "earlier"},
        {"rename", EIO, "Error 57 'Device I/O error' at line 5 in WriteFileTxt", "earlier"},
        {"folder_sync", EIO, "Error 57 'Device I/O error' at line 5 in WriteFileTxt", "row\r\n"},
    };
    for (const auto& c : cases) {
        // With an unnamed temporary file, and with a named one where the
        // file system offers no unnamed files.
        for (bool unnamed : {true, false}) {
            // A named temporary file needs no link.
            if (!unnamed && std::string(c.fails) == "link") continue;
            const std::string what = std::string(c.fails) + " " + std::strerror(c.error) + (unnamed ? "" : " (named)");
            Fixture f;
            f.Load("%CO:A,8,0%row\n");
            TempDir out;
            std::string path = out.Write("out.txt", "earlier");
            f.fp.msg.answers = {MsgResult::Abort};
            {
                std::map<std::string, int> fails{{c.fails, c.error}};
                if (!unnamed) fails.emplace("open_unnamed", EOPNOTSUPP);
                FailingCalls calls(fails);
                WriteFileTxt(f.fp.sys, f.doc, path);
                using C = FailingCalls;
                EXPECT_LT(C::At("data_sync"), std::min(C::At("link"), C::At("rename"))) << what;
                const long calls_made = static_cast<long>(C::log.size());
                const bool renamed = C::At("rename") < calls_made && std::string(c.fails) != "rename";
                EXPECT_EQ(C::At("folder_sync") < calls_made, renamed) << what;
                EXPECT_TRUE(!renamed || C::At("folder_sync") > C::At("rename")) << what;
            }
            EXPECT_EQ(f.fp.msg.Texts(), *c.report ? std::vector<std::string>{c.report} : std::vector<std::string>{})
                << what;
            EXPECT_EQ(Snapshot(out.path()), (std::map<std::string, std::string>{{"out.txt", c.after}})) << what;
        }
    }
}

}  // namespace
}  // namespace tw

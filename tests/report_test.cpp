#include <gtest/gtest.h>

#include <sys/stat.h>

#include "document/report.h"
#include "support.h"

namespace tw {
namespace {

using fake::FakePlatform;
using test::ReadFile;
using test::TempDir;

TEST(ReportText, ThreeFamiliesByteForByte) {
    EXPECT_EQ(ReportTextA(53, "File not found", "LoadFile"), "Error 53 'File not found' in LoadFile");
    EXPECT_EQ(ReportTextAWithLine(6, "Overflow", 2, "WriteFileTxt"), "Error 6 'Overflow' at line 2 in WriteFileTxt");
    EXPECT_EQ(ReportTextB(13, "Type mismatch", "Form_Load"), "Error 13, 'Type mismatch' in Form_Load.");
}

TEST(JoinFolder, AddsASlashUnlessThereIsOne) {
    EXPECT_EQ(JoinFolder("/", "Errors.txt"), "/Errors.txt");
    EXPECT_EQ(JoinFolder("/opt/tools", "Errors.txt"), "/opt/tools/Errors.txt");
    EXPECT_EQ(JoinFolder("/opt/tools/", "Errors.txt"), "/opt/tools/Errors.txt");
}

TEST(AbsoluteName, RelativeNamesGoInsideTheFolderAndKeepTheirBytes) {
    struct Case {
        const char* folder;
        std::string name;
        std::string expected;
    } cases[] = {
        {"/home/u/docs", "notes.pd", "/home/u/docs/notes.pd"},
        {"/home/u/docs/", "./notes.pd", "/home/u/docs/notes.pd"},
        {"/home/u", "docs//./a.pd", "/home/u/docs/a.pd"},
        {"/home/u", "../b.pd", "/home/u/../b.pd"},
        {"/home/u", "/etc/x.pd", "/etc/x.pd"},
        {"/", "x.pd", "/x.pd"},
        {"/home/u", "sub/", "/home/u/sub/"},
        {"/home/u", "a\xe9 b.pd", "/home/u/a\xe9 b.pd"},
        {"/home/u", std::string("a\xff\n.pd"), std::string("/home/u/a\xff\n.pd")},
    };
    for (const Case& c : cases) EXPECT_EQ(AbsoluteName(c.folder, c.name), c.expected) << c.name;
}

// A procedure of three statements, the second of which fails `fails` times.
struct Outcome {
    std::vector<int> done;  // statements that completed
    bool closed = false;
};

Outcome RunProcedure(FakePlatform& fp, ReportFamily family, int fails) {
    Outcome r;
    Trap trap(fp.sys, "Demo", family);
    trap.Run([&] {
        trap.Step(1, [&] { r.done.push_back(1); });
        trap.Step(2, [&] {
            if (fails-- > 0) throw VbError(kErrDiskFull);
            r.done.push_back(2);
        });
        trap.Step(3, [&] { r.done.push_back(3); });
    });
    r.closed = true;
    return r;
}

TEST(Trap, OutOfMemoryIsErrorSevenOfTheProcedureWhereverItHappens) {
    const struct {
        const char* name;
        bool in_statement;
        MsgResult answer;
        std::vector<int> done;
    } cases[] = {
        {"in a statement, Ignore", true, MsgResult::Ignore, {1, 3}},
        {"in a statement, Abort", true, MsgResult::Abort, {1}},
        {"between statements, Ignore", false, MsgResult::Ignore, {1}},
        {"between statements, Abort", false, MsgResult::Abort, {1}},
    };
    for (const auto& c : cases) {
        FakePlatform fp;
        fp.msg.answers = {c.answer, MsgResult::No};
        std::vector<int> done;
        bool completed = true;
        Trap trap(fp.sys, "Demo", ReportFamily::A);
        EXPECT_NO_THROW(completed = trap.Run([&] {
            trap.Step(1, [&] { done.push_back(1); });
            if (!c.in_statement) throw std::bad_alloc();
            trap.Step(2, [&] { throw std::bad_alloc(); });
            trap.Step(3, [&] { done.push_back(3); });
        })) << c.name;
        EXPECT_EQ(done, c.done) << c.name;
        ASSERT_FALSE(fp.msg.shown.empty()) << c.name;
        EXPECT_EQ(fp.msg.shown[0].text, "Error 7 'Out of memory' in Demo") << c.name;
        EXPECT_EQ(completed, c.in_statement && c.answer == MsgResult::Ignore) << c.name;
    }
}

TEST(Trap, RetryRunsTheFailingStatementAgain) {
    FakePlatform fp;
    fp.msg.answers = {MsgResult::Retry, MsgResult::Retry};
    Outcome r = RunProcedure(fp, ReportFamily::AWithLine, 2);
    EXPECT_EQ(r.done, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(fp.msg.shown.size(), 2u);
    EXPECT_EQ(fp.msg.shown[0].text, "Error 61 'Disk full' at line 2 in Demo");
    EXPECT_EQ(fp.msg.shown[1].text, fp.msg.shown[0].text);
    EXPECT_EQ(fp.msg.shown[0].buttons, MsgButtons::AbortRetryIgnore);
    EXPECT_EQ(fp.msg.shown[0].icon, MsgIcon::Warning);
}

TEST(Trap, IgnoreGoesOnWithTheNextStatement) {
    FakePlatform fp;
    fp.msg.answers = {MsgResult::Ignore};
    Outcome r = RunProcedure(fp, ReportFamily::A, 5);
    EXPECT_EQ(r.done, (std::vector<int>{1, 3}));
    EXPECT_EQ(fp.msg.Texts(), (std::vector<std::string>{"Error 61 'Disk full' in Demo"}));
}

TEST(Trap, AbortLeavesToTheClosingSteps) {
    FakePlatform fp;
    fp.msg.answers = {MsgResult::Abort, MsgResult::No};
    Outcome r = RunProcedure(fp, ReportFamily::A, 1);
    EXPECT_EQ(r.done, (std::vector<int>{1}));
    EXPECT_TRUE(r.closed);
    // Family A offers the log.
    ASSERT_EQ(fp.msg.shown.size(), 2u);
    EXPECT_EQ(fp.msg.shown[1].text, "Save error message in /nonexistent-program-folder/Errors.txt ?");
    EXPECT_EQ(fp.msg.shown[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(fp.msg.shown[1].icon, MsgIcon::Question);
}

TEST(Trap, AbortWithLineOffersNoLog) {
    FakePlatform fp;
    fp.msg.answers = {MsgResult::Abort};
    RunProcedure(fp, ReportFamily::AWithLine, 1);
    EXPECT_EQ(fp.msg.shown.size(), 1u);
}

TEST(Trap, FamilyBShowsOkOnlyAndLeaves) {
    FakePlatform fp;
    Outcome r = RunProcedure(fp, ReportFamily::B, 1);
    EXPECT_EQ(r.done, (std::vector<int>{1}));
    ASSERT_EQ(fp.msg.shown.size(), 1u);
    EXPECT_EQ(fp.msg.shown[0].text, "Error 61, 'Disk full' in Demo.");
    EXPECT_EQ(fp.msg.shown[0].buttons, MsgButtons::OK);
    EXPECT_EQ(fp.msg.shown[0].icon, MsgIcon::None);
}

TEST(Trap, HourglassIsNormalDuringTheReportAndBackForRetry) {
    FakePlatform fp;
    struct Watch : MessageBox {
        fake::FakePointer* p;
        std::vector<bool> busy_at_show;
        MsgResult Show(const std::string&, MsgButtons, MsgIcon) override {
            busy_at_show.push_back(p->busy);
            return busy_at_show.size() == 1 ? MsgResult::Retry : MsgResult::Ignore;
        }
    } watch;
    watch.p = &fp.pointer;
    Platform sys{watch, fp.input, fp.process, fp.pointer};
    Trap trap(sys, "Demo", ReportFamily::A);
    trap.ShowsHourglass();
    fp.pointer.SetHourglass(true);
    trap.Run([&] { trap.Step([&] { throw VbError(kErrDeviceIO); }); });
    EXPECT_EQ(watch.busy_at_show, (std::vector<bool>{false, false}));
    EXPECT_TRUE(fp.pointer.busy);
}

// A step without a label is trapped like a labelled one, and reported as
// line 0 where the family names lines.
TEST(Trap, AStepWithoutALabel) {
    const struct {
        ReportFamily family;
        MsgResult answer;
        const char* text;
        int runs;
        bool goes_on, finished;
    } cases[] = {
        {ReportFamily::AWithLine, MsgResult::Ignore, "Error 61 'Disk full' at line 0 in Demo", 1, true, true},
        {ReportFamily::AWithLine, MsgResult::Retry, "Error 61 'Disk full' at line 0 in Demo", 2, true, true},
        {ReportFamily::B, MsgResult::OK, "Error 61, 'Disk full' in Demo.", 1, false, false},
    };
    for (const auto& c : cases) {
        FakePlatform fp;
        fp.msg.answers = {c.answer};
        Trap trap(fp.sys, "Demo", c.family);
        int runs = 0;
        bool went_on = false;
        bool finished = trap.Run([&] {
            trap.Step([&] {
                if (++runs == 1) throw VbError(kErrDiskFull);
            });
            went_on = true;
        });
        ASSERT_EQ(fp.msg.shown.size(), 1u) << c.text;
        EXPECT_EQ(fp.msg.shown[0].text, c.text);
        EXPECT_EQ(runs, c.runs) << c.text;
        EXPECT_EQ(went_on, c.goes_on) << c.text;
        EXPECT_EQ(finished, c.finished) << c.text;
    }
}

TEST(Trap, OwnHandlingComesBeforeTheReport) {
    FakePlatform fp;
    std::vector<int> done;
    Trap trap(fp.sys, "Demo", ReportFamily::A);
    trap.OnFailure([](const VbError& e, int label) {
        if (e.number() == kErrInvalidCall && label == 1) return Handling::ResumeNext;
        if (e.number() == kErrPathNotFound) return Handling::Leave;
        return Handling::Report;
    });
    bool finished = trap.Run([&] {
        trap.Step(1, [&] { throw VbError(kErrInvalidCall); });
        done.push_back(1);
        trap.Step(2, [&] { throw VbError(kErrPathNotFound); });
        done.push_back(2);
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(done, (std::vector<int>{1}));
    EXPECT_TRUE(fp.msg.shown.empty());
}

TEST(SaveErrMsgToFile, AppendsOneCrLfLinePerReportOlderFirst) {
    TempDir dir;
    FakePlatform fp;
    fp.process.program_folder = dir.path();
    fp.msg.answers = {MsgResult::Abort, MsgResult::Yes, MsgResult::Abort, MsgResult::Yes};
    RunProcedure(fp, ReportFamily::A, 1);
    RunProcedure(fp, ReportFamily::A, 1);
    EXPECT_EQ(ReadFile(dir / "Errors.txt"), "Error 61 'Disk full' in Demo\r\nError 61 'Disk full' in Demo\r\n");

    // An existing log is only appended to; a timestamped trap prefixes the line.
    Trap trap(fp.sys, "WriteCellHTML", ReportFamily::A);
    trap.LogWithTimestamp();
    fp.msg.answers = {MsgResult::Abort, MsgResult::Yes};
    trap.Run([&] { trap.Step([&] { throw VbError(kErrOverflow); }); });
    EXPECT_EQ(ReadFile(dir / "Errors.txt"),
              "Error 61 'Disk full' in Demo\r\nError 61 'Disk full' in Demo\r\n"
              "08/12/2026 18:55:00 Error 6 'Overflow' in WriteCellHTML\r\n");
}

TEST(SaveErrMsgToFile, NoLeavesNoLogFile) {
    TempDir dir;
    FakePlatform fp;
    fp.process.program_folder = dir.path();
    fp.msg.answers = {MsgResult::Abort, MsgResult::No};
    RunProcedure(fp, ReportFamily::A, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Errors.txt"));
}

TEST(SaveErrMsgToFile, ItsOwnFailureIsReportedWithItsLine) {
    FakePlatform fp;
    fp.process.program_folder = "/nonexistent-folder-for-tarnwick";
    fp.msg.answers = {MsgResult::Yes, MsgResult::Retry, MsgResult::Abort};
    SaveErrMsgToFile(fp.sys, "Error 61 'Disk full' in Demo");
    ASSERT_EQ(fp.msg.shown.size(), 3u);
    EXPECT_EQ(fp.msg.shown[1].text, "Error 76 'Path not found' at line 1 in SaveErrMsgToFile");
    EXPECT_EQ(fp.msg.shown[2].text, fp.msg.shown[1].text);
}

}  // namespace
}  // namespace tw

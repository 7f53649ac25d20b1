// What the reader, the file writers and printing return: the caller acts
// on the value, whatever the user was shown and answered.
#include <gtest/gtest.h>

#include <functional>

#include "export/html_export.h"
#include "export/rtf_export.h"
#include "export/text_export.h"
#include "platform/fake/recording_canvas.h"
#include "printing/print.h"
#include "support.h"

namespace tw {
namespace {

using Kind = Status::Kind;

struct Expected {
    Kind kind;
    int number;
    std::string description;
};

void ExpectStatus(const Status& s, const Expected& e, const std::string& what) {
    EXPECT_EQ(static_cast<int>(s.kind), static_cast<int>(e.kind)) << what;
    EXPECT_EQ(s.number, e.number) << what;
    EXPECT_EQ(s.description, e.description) << what;
}

TEST(Status, ReadPipeDreamFileSaysWhatHappened) {
    const struct {
        const char* what;
        std::string bytes;  // empty: no such file
        std::deque<MsgResult> answers;
        Expected expected;
    } cases[] = {
        {"a document", "%OP%DEx\n%CO:A,8,72%a\n", {}, {Kind::Done, 0, ""}},
        {"not a document, but read", "plain text\n", {}, {Kind::Done, 0, ""}},
        {"a missing file", "", {}, {Kind::Failed, 53, "File not found"}},
        {"an overflow, aborted",
         "%OP%PL99999\n%CO:A,8,0%x\n",
         {MsgResult::Abort, MsgResult::No},
         {Kind::Failed, 6, "Overflow"}},
        {"an overflow, ignored", "%OP%PL99999\n%CO:A,8,0%x\n", {MsgResult::Ignore}, {Kind::Done, 0, ""}},
    };
    for (const auto& c : cases) {
        test::Fixture f;
        f.fp.msg.answers = c.answers;
        std::string path = c.bytes.empty() ? f.dir / "missing.pd" : f.dir.Write("doc.pd", c.bytes);
        ExpectStatus(ReadPipeDreamFile(f.fp.sys, f.fp.window, f.doc, path), c.expected, c.what);
        EXPECT_TRUE(f.fp.msg.answers.empty()) << c.what;
    }
}

TEST(Status, FileWritersSayWhetherTheFileWasPutInPlace) {
    using Writer = std::function<Status(Platform&, const DocumentModel&, const std::string&)>;
    const std::pair<const char*, Writer> writers[] = {
        {"txt", [](Platform& s, const DocumentModel& d, const std::string& p) { return WriteFileTxt(s, d, p); }},
        {"htm", [](Platform& s, const DocumentModel& d, const std::string& p) { return WriteFileHTML(s, d, p); }},
        {"rtf", [](Platform& s, const DocumentModel& d, const std::string& p) { return WriteRTF(s, d, {}, p); }},
    };
    const struct {
        const char* what;
        bool folder_exists;
        std::deque<MsgResult> answers;
        Expected expected;
    } cases[] = {
        {"written", true, {}, {Kind::Done, 0, ""}},
        {"no such folder, aborted", false, {MsgResult::Abort}, {Kind::Failed, 76, "Path not found"}},
        {"no such folder, ignored to the end",
         false,
         std::deque<MsgResult>(20, MsgResult::Ignore),
         {Kind::Failed, 76, "Path not found"}},
    };
    for (const auto& [format, write] : writers) {
        for (const auto& c : cases) {
            test::Fixture f;
            f.Load("%OP%DEx\n%CO:A,8,72%a\nb\n");
            f.fp.msg.answers = c.answers;
            std::string path = c.folder_exists ? f.dir / "out" : f.dir / "no/out";
            Status s = write(f.fp.sys, f.doc, path);
            std::string what = std::string(format) + ": " + c.what;
            ExpectStatus(s, c.expected, what);
            EXPECT_EQ(std::filesystem::exists(path), c.expected.kind == Kind::Done) << what;
        }
    }
}

TEST(Status, PrintDocumentSaysHowPrintingEnded) {
    constexpr double kLine = 225;
    const struct {
        const char* what;
        std::string bytes;
        int printer_lines;
        std::deque<std::string> inputs;
        std::deque<MsgResult> answers;
        Expected expected;
    } cases[] = {
        {"printed", "%CO:A,8,0%a\nb\n", 66, {}, {}, {Kind::Done, 0, ""}},
        {"page length confirmed", "%CO:A,8,0%a\n", 62, {"60"}, {}, {Kind::Done, 0, ""}},
        {"no page length can do: cancelled",
         "%OP%BM20\n%CO:A,8,0%a\n",
         10,
         {"5", ""},
         {},
         {Kind::Aborted, 0, "no page length was chosen"}},
        {"no line for the rows", "%OP%TM30\n%OP%BM40\n%CO:A,8,0%a\n", 66, {}, {}, {Kind::Refused, 0, kNoRowSlot}},
        {"division by zero, aborted",
         "%OP%LS0\n%CO:A,8,0%a\n",
         66,
         {},
         {MsgResult::Abort, MsgResult::No},
         {Kind::Failed, 11, "Division by zero"}},
        {"division by zero, ignored", "%OP%LS0\n%CO:A,8,0%a\n", 66, {}, {MsgResult::Ignore}, {Kind::Done, 0, ""}},
    };
    for (const auto& c : cases) {
        test::Fixture f;
        f.Load(c.bytes);
        fake::RecordingCanvas printer;
        printer.scale_height = c.printer_lines * kLine + 10;
        f.fp.input.answers = c.inputs;
        f.fp.msg.answers = c.answers;
        std::string CrLf = "\r\n";
        std::int16_t PrintPageLength = 0;
        ScriptFlags flags;
        PrintJob job{f.fp.sys, f.doc, printer, "Courier New", 9, CrLf, PrintPageLength, flags};
        ExpectStatus(PrintDocument(job), c.expected, c.what);
        EXPECT_TRUE(f.fp.input.answers.empty() && f.fp.msg.answers.empty()) << c.what;
    }
}

}  // namespace
}  // namespace tw

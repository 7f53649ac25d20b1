// The steps of printing, one table each, on the recording printer.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>

#include "platform/fake/recording_canvas.h"
#include "printing/print_steps.h"
#include "support.h"

namespace tw {
namespace {

constexpr double kLine = 225;  // 9 points on the recording canvas
constexpr double kChar = 108;

// The recording printer, noting also where each page ended; its end of
// the document can fail a number of times.
class PagedCanvas : public fake::RecordingCanvas {
public:
    std::vector<double> page_ends;
    int end_failures = 0;
    int end_calls = 0;

    void NewPage() override {
        page_ends.push_back(CurrentY());
        RecordingCanvas::NewPage();
    }
    void EndDoc() override {
        ++end_calls;
        if (end_failures > 0) {
            --end_failures;
            throw VbError(kErrDeviceIO);
        }
        RecordingCanvas::EndDoc();
    }
};

// What the printer was given, as text: each line end a "/", each new page
// a "#", each text at its column on the line.
std::string Trace(const PagedCanvas& p, int first_page = 1) {
    std::string out;
    int page = first_page;
    long line = 0;
    std::size_t col = 0;
    auto to_line = [&](long l) {
        for (; line < l; ++line, col = 0) out += '/';
    };
    auto end_page = [&] {
        to_line(std::lround(p.page_ends.at(static_cast<std::size_t>(page - first_page)) / kLine));
        out += '#';
        ++page;
        line = 0;
        col = 0;
    };
    for (const auto& d : p.drawn) {
        while (d.page > page) end_page();
        to_line(std::lround(d.y / kLine));
        auto at = static_cast<std::size_t>(std::lround(d.x / kChar));
        if (at > col) out.append(at - col, ' ');
        out += d.text;
        col = std::max(at, col) + d.text.size();
    }
    while (static_cast<std::size_t>(page - first_page) < p.page_ends.size()) end_page();
    to_line(std::lround(p.CurrentY() / kLine));
    return out;
}

// A document loaded from bytes, a printer and a job over them, and the
// trap PrintDocument runs its steps under.
struct Job {
    test::Fixture f;
    PagedCanvas printer;
    std::string CrLf = "\r\n";
    std::int16_t PrintPageLength = 0;
    ScriptFlags flags;
    std::optional<std::int16_t> unattended;
    const ShownCells* shown = nullptr;
    std::string font_name = "Courier New";
    float font_size = 9;
    Trap trap{f.fp.sys, "PrintDocument", ReportFamily::A};
    std::optional<PrintJob> job;

    explicit Job(const std::string& bytes, int printer_lines = 66) {
        f.Load(bytes);
        printer.scale_height = printer_lines * kLine + 10;
    }
    PrintJob& Make() {
        job.emplace(
            PrintJob{f.fp.sys, f.doc, printer, font_name, font_size, CrLf, PrintPageLength, flags, unattended, shown});
        return *job;
    }
};

std::string Rows(int n) {
    std::string s = "%CO:A,8,0%";
    for (int r = 1; r <= n; ++r) s += "r" + std::to_string(r) + "\n";
    return s;
}

TEST(PrintSteps, ReservedLines) {
    const struct {
        const char* options;
        long reserved;
    } cases[] = {
        {"", 12},  // the margins as read: 0 + 2 + 2 + 8
        {"%OP%TM3\n%OP%HM1\n%OP%FM4\n%OP%BM5\n", 13},
        {"%OP%HE/h\n", 13},
        {"%OP%FO/f\n", 13},
        {"%OP%HE/h\n%OP%FO/f\n%OP%TM1\n", 15},
        {"%OP%HM0\n%OP%FM0\n%OP%BM0\n", 0},
    };
    for (const auto& c : cases) {
        Job j(std::string(c.options) + Rows(1));
        EXPECT_EQ(ReservedLines(j.f.doc), c.reserved) << c.options;
    }
}

TEST(PrintSteps, SetPrinterFont) {
    const struct {
        const char* name;
        float size;
        std::deque<MsgResult> answers;
        const char* font_after;
        float size_after;
        std::vector<std::string> reports;
    } cases[] = {
        {"Courier New", 9, {}, "Courier New", 9, {}},
        {"Mono", 12, {}, "Mono", 12, {}},
        {"", 12, {MsgResult::Ignore}, kDefaultFontName, 12, {"Error 380 'Invalid property value' in PrintDocument"}},
        {"Mono",
         0,
         {MsgResult::Ignore},
         "Mono",
         kDefaultFontSize,
         {"Error 380 'Invalid property value' in PrintDocument"}},
    };
    for (const auto& c : cases) {
        Job j(Rows(1));
        j.font_name = c.name;
        j.font_size = c.size;
        j.f.fp.msg.answers = c.answers;
        SetPrinterFont(j.trap, j.Make());
        EXPECT_EQ(j.printer.FontName(), c.font_after) << c.name << c.size;
        EXPECT_FLOAT_EQ(j.printer.FontSize(), c.size_after) << c.name << c.size;
        EXPECT_EQ(j.f.fp.msg.Texts(), c.reports) << c.name << c.size;
    }
}

TEST(PrintSteps, CountPrinterLines) {
    const struct {
        double height;
        float size;
        int lines;
    } cases[] = {
        {66 * kLine, 9, 66},     {66 * kLine + kLine - 1, 9, 66},  // a part line does not count
        {66 * kLine - 1, 9, 65}, {100 * 250, 10, 100},             // lines of the font in force
        {kLine - 1, 9, 0},
    };
    for (const auto& c : cases) {
        Job j(Rows(1));
        j.printer.scale_height = c.height;
        j.printer.SetFontSize(c.size);
        EXPECT_EQ(CountPrinterLines(j.trap, j.printer), c.lines) << c.height;
    }
}

TEST(PrintSteps, ChoosePageLength) {
    using Kind = Status::Kind;
    const struct {
        const char* what;
        std::string options;
        int printer_lines;
        std::optional<std::int16_t> unattended;
        std::int16_t last_chosen;
        std::deque<std::string> answers;
        std::deque<MsgResult> reports;
        long lines;                // when printing goes on
        std::optional<Kind> stop;  // when it does not
        std::vector<std::string> proposed;
        std::vector<std::string> shown;
        std::int16_t chosen_after;
    } cases[] = {
        {"the document's is the printer's", "", 66, std::nullopt, 0, {}, {}, 66, std::nullopt, {}, {}, 0},
        {"asked: too long, not a number, then taken",
         "",
         62,
         std::nullopt,
         0,
         {"63", "abc", "60"},
         {},
         60,
         std::nullopt,
         {"62", "63", "63"},
         {},
         60},
        {"asked: no line for the rows, then taken",
         "",
         62,
         std::nullopt,
         0,
         {"12", "13"},
         {},
         13,
         std::nullopt,
         {"62", "12"},
         {},
         13},
        {"asked: the printer's holds, Cancel takes it",
         "",
         62,
         std::nullopt,
         0,
         {""},
         {},
         62,
         std::nullopt,
         {"62"},
         {},
         62},
        {"asked: the last length chosen is proposed",
         "",
         62,
         std::nullopt,
         50,
         {"x"},
         {},
         50,
         std::nullopt,
         {"50"},
         {},
         50},
        {"asked: the answer rounds half to even",
         "",
         62,
         std::nullopt,
         0,
         {"40.5"},
         {},
         40,
         std::nullopt,
         {"62"},
         {},
         40},
        {"asked: beyond 16 bits, ignored",
         "",
         62,
         std::nullopt,
         0,
         {"99999"},
         {MsgResult::Ignore},
         62,
         std::nullopt,
         {"62"},
         {"Error 6 'Overflow' in PrintDocument"},
         62},
        {"asked: no answer can do, Cancel aborts",
         "%OP%BM20\n",
         10,
         std::nullopt,
         0,
         {"5", ""},
         {},
         0,
         Kind::Aborted,
         {"10", "5"},
         {},
         5},
        {"unattended: the document's fits", "", 80, 0, 7, {}, {}, 66, std::nullopt, {}, {}, 7},
        {"unattended: the document's is too long", "", 62, 0, 0, {}, {}, 62, std::nullopt, {}, {}, 0},
        {"unattended: the document's leaves no row", "%OP%PL12\n", 80, 0, 0, {}, {}, 80, std::nullopt, {}, {}, 0},
        {"unattended: a length given", "", 80, 70, 0, {}, {}, 70, std::nullopt, {}, {}, 0},
        {"unattended: the printer's length given", "", 80, 80, 0, {}, {}, 80, std::nullopt, {}, {}, 0},
        {"unattended: too long a length given",
         "",
         80,
         81,
         0,
         {},
         {},
         0,
         Kind::Refused,
         {},
         {PageLengthRefused(81, 80, 12)},
         0},
        {"unattended: a length given leaving no row",
         "",
         80,
         12,
         0,
         {},
         {},
         0,
         Kind::Refused,
         {},
         {PageLengthRefused(12, 80, 12)},
         0},
        {"unattended: the page holds not the margins", "", 12, 0, 0, {}, {}, 0, Kind::Done, {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Job j(c.options + Rows(1), c.printer_lines);
        j.unattended = c.unattended;
        j.PrintPageLength = c.last_chosen;
        j.f.fp.input.answers = c.answers;
        j.f.fp.msg.answers = c.reports;
        PageLengthChoice choice = ChoosePageLength(j.trap, j.Make(), c.printer_lines, ReservedLines(j.f.doc));
        ASSERT_EQ(choice.stop.has_value(), c.stop.has_value());
        if (c.stop) {
            EXPECT_EQ(choice.stop->kind, *c.stop);
            if (*c.stop == Kind::Refused) {
                EXPECT_EQ(choice.stop->description, c.shown.at(0));
            }
        } else {
            EXPECT_EQ(choice.lines, c.lines);
        }
        std::vector<std::string> proposed;
        for (const auto& a : j.f.fp.input.asked) proposed.push_back(a.proposed);
        EXPECT_EQ(proposed, c.proposed);
        EXPECT_EQ(j.f.fp.msg.Texts(), c.shown);
        EXPECT_EQ(j.PrintPageLength, c.chosen_after);
        EXPECT_TRUE(j.f.fp.input.answers.empty() && j.f.fp.msg.answers.empty());
    }
}

TEST(PrintSteps, CountRowsPerPage) {
    const struct {
        const char* what;
        std::string options;
        long length, reserved;
        std::deque<MsgResult> answers;
        long rows;
        std::vector<std::string> reports;
    } cases[] = {
        {"single spacing", "", 66, 12, {}, 54, {}},
        {"double spacing", "%OP%LS2\n", 66, 12, {}, 27, {}},
        {"truncated", "%OP%LS2\n", 67, 12, {}, 27, {}},
        {"toward zero", "%OP%LS2\n", 9, 12, {}, -1, {}},
        {"no line spacing: left undivided",
         "%OP%LS0\n",
         66,
         12,
         {MsgResult::Ignore},
         54,
         {"Error 11 'Division by zero' in PrintDocument"}},
        {"beyond 16 bits: 0 divided", "", 40000, 0, {MsgResult::Ignore}, 0, {"Error 6 'Overflow' in PrintDocument"}},
    };
    for (const auto& c : cases) {
        Job j(c.options + Rows(1));
        j.f.fp.msg.answers = c.answers;
        EXPECT_EQ(CountRowsPerPage(j.trap, j.f.doc, c.length, c.reserved), c.rows) << c.what;
        EXPECT_EQ(j.f.fp.msg.Texts(), c.reports) << c.what;
    }
}

TEST(PrintSteps, FitPageToPrinter) {
    const struct {
        const char* what;
        std::string options;
        int printer_lines;
        long rows;
        long rows_after, footer_margin_after;
    } cases[] = {
        {"room to spare", "%OP%FO/f\n", 66, 54, 54, 2},
        {"room for the extra line exactly", "%OP%HM0\n%OP%FM3\n%OP%BM0\n%OP%FO/f\n", 67, 62, 62, 3},
        {"the footer margin gives the line up first", "%OP%HM0\n%OP%FM3\n%OP%BM0\n%OP%FO/f\n", 66, 62, 62, 2},
        {"the footer margin gives up all it has", "%OP%HM0\n%OP%FM1\n%OP%BM0\n%OP%FO/f\n", 65, 63, 63, 0},
        {"then the rows", "%OP%HM0\n%OP%FM1\n%OP%BM0\n%OP%FO/f\n", 64, 63, 62, 0},
        {"no footer margin: the rows", "%OP%HM0\n%OP%FM0\n%OP%BM0\n%OP%FO/f\n", 66, 65, 64, 0},
        {"no footer: its margin stays", "%OP%HM0\n%OP%FM3\n%OP%BM0\n", 66, 62, 62, 3},
        {"no footer: the last row on the last line", "%OP%HM0\n%OP%FM0\n%OP%BM0\n", 66, 66, 65, 0},
        {"double spacing", "%OP%HM0\n%OP%FM0\n%OP%BM0\n%OP%LS2\n%OP%FO/f\n", 66, 32, 31, 0},
        {"top margins count", "%OP%TM2\n%OP%HM2\n%OP%FM0\n%OP%BM0\n", 10, 7, 5, 0},
        {"no row slot left", "%OP%TM2\n%OP%HM2\n", 3, 0, -1, 2},
    };
    for (const auto& c : cases) {
        Job j(c.options + Rows(1));
        PageFit fit = FitPageToPrinter(j.f.doc, c.printer_lines, c.rows);
        EXPECT_EQ(fit.RowsPerPage, c.rows_after) << c.what;
        EXPECT_EQ(fit.footer_margin, c.footer_margin_after) << c.what;
    }
}

TEST(PrintSteps, RefuseWithoutRowSlot) {
    const struct {
        int rows_in_document;
        long RowsPerPage;
        bool refused;
    } cases[] = {
        {3, 0, false},  {3, 5, false},  {3, -1, true},
        {3, -30, true}, {0, -1, false},  // nothing to print: no slot needed
    };
    for (const auto& c : cases) {
        Job j(c.rows_in_document > 0 ? Rows(c.rows_in_document) : "%OP%PL66\n");
        auto stop = RefuseWithoutRowSlot(j.f.fp.sys, j.f.doc, c.RowsPerPage);
        EXPECT_EQ(stop.has_value(), c.refused) << c.RowsPerPage;
        if (stop) {
            EXPECT_EQ(stop->kind, Status::Kind::Refused);
        }
        EXPECT_EQ(j.f.fp.msg.Texts(), c.refused ? std::vector<std::string>{kNoRowSlot} : std::vector<std::string>{});
    }
}

// A header text on a page eleven characters wide: "/L/@P@/R" lays out
// as "L" and "R" with the page number centred between them.
TEST(PrintSteps, PrintPageTop) {
    const struct {
        const char* what;
        std::string options;
        int page;
        std::string trace;
    } cases[] = {
        {"as read: the header margin", "", 1, "//"},
        {"no margins, no header", "%OP%HM0\n", 1, ""},
        {"top margin, header, header margin", "%OP%TM3\n%OP%HM1\n%OP%HE/L/@P@/R\n", 4, "///L    4    R/"},
        {"the header shares the first row's line", "%OP%TM1\n%OP%HM0\n%OP%HE/L/@P@/R\n", 2, "/L    2    R"},
        {"the margins alone", "%OP%TM2\n%OP%HM3\n", 1, "/////"},
        {"the header margin after the header", "%OP%HM2\n%OP%HE/L/@P@/R\n", 1, "L    1    R//"},
    };
    for (const auto& c : cases) {
        Job j("%OP%LM0\n" + c.options + Rows(1));
        j.printer.scale_width = 11 * kChar;
        j.printer.page = c.page;
        PageRun run(j.Make(), PageFit{54, j.f.doc.OptFM});
        PrintPageTop(j.trap, run);
        EXPECT_EQ(Trace(j.printer, c.page), c.trace) << c.what;
        EXPECT_EQ(j.printer.page, c.page) << c.what;
    }
}

TEST(PrintSteps, PrintPageFoot) {
    const struct {
        const char* what;
        std::string options;
        long footer_margin;  // as fitted
        std::string trace;
    } cases[] = {
        {"as read: footer and bottom margins", "", 2, "//////////#"},
        {"no margins: only the new page", "%OP%BM0\n", 0, "#"},
        {"footer margin, footer, bottom margin", "%OP%BM3\n%OP%FO/L/@P@/R\n", 2, "//L    5    R///#"},
        {"the fitted footer margin, not the document's", "%OP%BM1\n%OP%FO/L/@P@/R\n", 0, "L    5    R/#"},
        {"the footer margin before the footer", "%OP%BM0\n%OP%FO/L/@P@/R\n", 1, "/L    5    R#"},
    };
    for (const auto& c : cases) {
        Job j("%OP%LM0\n" + c.options + Rows(1));
        j.printer.scale_width = 11 * kChar;
        j.printer.page = 5;
        PageRun run(j.Make(), PageFit{54, c.footer_margin});
        PrintPageFoot(j.trap, run);
        EXPECT_EQ(Trace(j.printer, 5), c.trace) << c.what;
        EXPECT_EQ(j.printer.page, 6) << c.what;
    }
}

// The layout on show, with page breaks at the rows given: "r" and the row.
class BreakingCells : public ShownCells {
public:
    explicit BreakingCells(std::map<int, int> breaks) : breaks_(std::move(breaks)) {}
    std::string Marked(int column, int row) const override { return (column == 1 ? "r" : "c") + std::to_string(row); }
    int PageBreak(int row) const override {
        asked.push_back(row);
        auto it = breaks_.find(row);
        return it == breaks_.end() ? -1 : it->second;
    }

    mutable std::vector<int> asked;  // rows whose break was asked for

private:
    std::map<int, int> breaks_;
};

TEST(PrintSteps, PrintRowSlots) {
    const struct {
        const char* what;
        int rows;  // in the document
        std::string options;
        std::optional<std::map<int, int>> breaks;  // nothing: the cells as stored
        long RowsPerPage;
        long from;
        std::string trace;
        long next;  // 0: past the last row
    } cases[] = {
        {"stored cells fill the slots", 9, "", std::nullopt, 2, 1, "r1/r2/r3/", 4},
        {"from the middle", 9, "", std::nullopt, 2, 4, "r4/r5/r6/", 7},
        {"the last row ends the rows", 9, "", std::nullopt, 2, 7, "r7/r8/r9/", 0},
        {"past the end: empty slots", 5, "", std::nullopt, 3, 4, "r4/r5///", 0},
        {"one slot", 5, "", std::nullopt, 0, 5, "r5/", 0},
        {"double spacing", 5, "%OP%LS2\n", std::nullopt, 2, 1, "r1//r2//r3//", 4},
        {"a layout without breaks", 5, "", std::map<int, int>{}, 2, 1, "r1/r2/r3/", 4},
        {"a new page in any case", 9, "", std::map<int, int>{{3, 0}}, 4, 1, "r1/r2////", 3},
        {"a break on the page's first row is passed", 9, "", std::map<int, int>{{3, 0}}, 4, 3, "r3/r4/r5/r6/r7/", 8},
        {"too few lines left: a new page", 9, "", std::map<int, int>{{3, 4}}, 4, 1, "r1/r2////", 3},
        {"as many lines left as asked: stays", 9, "", std::map<int, int>{{3, 3}}, 4, 1, "r1/r2/r3/r4/r5/", 6},
        {"double spacing: two lines a slot left", 9, "%OP%LS2\n", std::map<int, int>{{3, 6}}, 4, 1,
         "r1//r2//r3//r4//r5//", 6},
        {"double spacing: too few lines left", 9, "%OP%LS2\n", std::map<int, int>{{3, 7}}, 4, 1, "r1//r2////////", 3},
        {"a break past the page's rows waits", 9, "", std::map<int, int>{{7, 0}}, 4, 1, "r1/r2/r3/r4/r5/", 6},
        {"the first break ends the page", 9, "", std::map<int, int>{{2, 5}, {4, 0}}, 4, 1, "r1/////", 2},
        {"past the end, a break is not asked for", 4, "", std::map<int, int>{{5, 0}}, 4, 3, "r3/r4////", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Job j(c.options + Rows(c.rows));
        std::optional<BreakingCells> layout;
        if (c.breaks) j.shown = &layout.emplace(*c.breaks);
        PageRun run(j.Make(), PageFit{c.RowsPerPage, 2});
        long next = PrintRowSlots(j.trap, run, c.from);
        if (c.next == 0) {
            EXPECT_GT(next, c.rows);
        } else {
            EXPECT_EQ(next, c.next);
        }
        if (layout) {
            for (int row : layout->asked) EXPECT_LE(row, c.rows);
        }
        std::string trace = Trace(j.printer);
        // The rows sit at their column's start.
        EXPECT_EQ(trace.find_first_not_of(' '), 2u);
        trace.erase(0, 2);
        for (std::size_t at; (at = trace.find("/  ")) != std::string::npos;) trace.erase(at + 1, 2);
        EXPECT_EQ(trace, c.trace);
    }
}

// Rows of two columns: each cell at its column's start, in characters.
TEST(PrintSteps, PrintRowSlotsPlacesColumns) {
    const struct {
        const char* what;
        bool layout;
        std::string trace;
    } cases[] = {
        {"stored", false, "  a1      b1/  a2      b2/"},
        {"the layout's cells", true, "  r1      c1/  r2      c2/"},
    };
    for (const auto& c : cases) {
        Job j("%CO:A,8,0%a1\na2\n%CO:B,5,0%b1\nb2\n");
        BreakingCells layout({});
        if (c.layout) j.shown = &layout;
        PageRun run(j.Make(), PageFit{1, 2});
        EXPECT_EQ(PrintRowSlots(j.trap, run, 1), 3) << c.what;
        EXPECT_EQ(Trace(j.printer), c.trace) << c.what;
    }
}

TEST(PrintSteps, EndDocument) {
    using Kind = Status::Kind;
    const struct {
        const char* what;
        Status pages;  // how the pages ended
        int end_failures;
        std::deque<MsgResult> answers;
        Kind kind;
        int number;
        int end_calls;
        bool ended;
    } cases[] = {
        {"printed", Status::Done(), 0, {}, Kind::Done, 0, 1, true},
        {"refused before the pages", Status::Refused("why"), 0, {}, Kind::Refused, 0, 1, true},
        {"aborted at the prompt", Status::Aborted("no"), 0, {}, Kind::Aborted, 0, 1, true},
        {"failed before: the failure stays", Status::Failed(11, "Division by zero"), 0, {}, Kind::Failed, 11, 1, true},
        {"the end fails, Retry", Status::Done(), 1, {MsgResult::Retry}, Kind::Done, 0, 2, true},
        {"the end fails, Ignore", Status::Done(), 1, {MsgResult::Ignore}, Kind::Done, 0, 1, false},
        {"the end fails, Abort",
         Status::Done(),
         1,
         {MsgResult::Abort, MsgResult::No},
         Kind::Failed,
         kErrDeviceIO,
         1,
         false},
    };
    for (const auto& c : cases) {
        Job j(Rows(1));
        j.printer.end_failures = c.end_failures;
        j.f.fp.msg.answers = c.answers;
        Status s = EndDocument(j.trap, j.printer, c.pages);
        EXPECT_EQ(s.kind, c.kind) << c.what;
        EXPECT_EQ(s.number, c.number) << c.what;
        if (c.kind != Kind::Failed) {
            EXPECT_EQ(s.description, c.pages.description) << c.what;
        }
        EXPECT_EQ(j.printer.end_calls, c.end_calls) << c.what;
        EXPECT_EQ(j.printer.ended, c.ended) << c.what;
        EXPECT_TRUE(j.f.fp.msg.answers.empty()) << c.what;
    }
}

// The steps in turn: pages of a top margin, header, header margin, three
// row slots, footer margin, footer and bottom margin, eight lines in all.
TEST(PrintSteps, PrintDocumentTakesTheStepsInTurn) {
    const std::string page1 = "/L    1    R/", foot1 = "/L    1    R/#";
    const std::string page2 = "/L    2    R/", foot2 = "/L    2    R/#";
    const struct {
        int rows;
        std::string trace;
    } cases[] = {
        {0, ""},
        {1, page1 + "r1///" + foot1},
        {3, page1 + "r1/r2/r3/" + foot1},
        {4, page1 + "r1/r2/r3/" + foot1 + page2 + "r4///" + foot2},
        {6, page1 + "r1/r2/r3/" + foot1 + page2 + "r4/r5/r6/" + foot2},
    };
    for (const auto& c : cases) {
        Job j("%OP%PL8\n%OP%TM1\n%OP%HM1\n%OP%FM1\n%OP%BM1\n%OP%LM0\n%OP%HE/L/@P@/R\n%OP%FO/L/@P@/R\n" +
                  (c.rows > 0 ? Rows(c.rows) : std::string()),
              8);
        j.printer.scale_width = 11 * kChar;
        Status s = PrintDocument(j.Make());
        EXPECT_EQ(s.kind, Status::Kind::Done) << c.rows;
        EXPECT_EQ(Trace(j.printer), c.trace) << c.rows;
        EXPECT_TRUE(j.printer.ended) << c.rows;
        EXPECT_TRUE(j.f.fp.input.asked.empty() && j.f.fp.msg.shown.empty()) << c.rows;
    }
}

}  // namespace
}  // namespace tw

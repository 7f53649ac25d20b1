// The window's parts on their own: each over the controls it is given,
// with hooks that record what it asks of the window.
#include <gtest/gtest.h>

#include <QAction>
#include <QScrollBar>

#include "document/layouts.h"
#include "platform/qt/qt_canvas.h"
#include "settings/settings.h"
#include "support.h"
#include "viewer/find.h"
#include "viewer/find_bar.h"
#include "viewer/go_to_row.h"
#include "viewer/layout_switch.h"
#include "viewer/selection.h"

namespace tw {
namespace {

// A row bar at the top of a document of `rows` rows, `page` rows a page.
void FitRowBar(QScrollBar& bar, int rows, int page) {
    bar.setRange(1, rows - page);
    bar.setPageStep(page);
    bar.setValue(1);
}

// The row bar moving the page as the window's does: the find hears of it.
TEST(WindowParts, FindMovesThePageOnlyToBringTheFoundTextOnShow) {
    test::Fixture f;
    std::string text = "%CO:A,12,72%";
    for (int r = 1; r <= 60; ++r) text += (r == 5 || r == 40 ? "a needle " : "row ") + std::to_string(r) + "\n";
    f.Load(text);
    std::unique_ptr<ShownCells> cells = MakeShownCells(f.doc, Layout::Plain);
    QWidget window;
    window.show();
    QScrollBar rows;
    FitRowBar(rows, 60, 10);
    int redraws = 0, layOuts = 0;
    std::vector<int> refits;
    FindHooks hooks{[] { return true; }, [&]() -> const ShownCells& { return *cells; }, [&] { ++redraws; },
                    [&] { ++layOuts; },  [&](int row) { refits.push_back(row); },       [] {}};
    PageFind find(&window, f.doc, rows, hooks);
    QObject::connect(&rows, &QScrollBar::valueChanged, [&] { find.PageMoved(); });
    find.Bar()->SetText("needle");
    const struct {
        bool forward;
        int row, top, redraws;  // found, the row bar after, redraws in place so far
    } steps[] = {{true, 5, 1, 1}, {true, 40, 40, 1}, {true, 5, 5, 1}, {false, 40, 40, 1}, {false, 5, 5, 1}};
    for (const auto& s : steps) {
        s.forward ? find.Next() : find.Previous();
        ASSERT_TRUE(find.Found()) << s.row;
        EXPECT_EQ(find.Found()->row, s.row);
        EXPECT_EQ(rows.value(), s.top) << s.row;
        EXPECT_EQ(redraws, s.redraws) << s.row;
    }
    EXPECT_EQ(layOuts, 1);  // the bar opened once, the row on show kept
    EXPECT_EQ(refits, std::vector<int>{1});
    rows.setValue(20);  // any other move takes the mark away
    EXPECT_FALSE(find.Found());
}

TEST(WindowParts, SelectionFollowsTheMouseOverTheRowsDrawn) {
    fake::FakePlatform fp;
    DocumentModel doc;
    doc.NumRows = 15;
    PixmapCanvas page;
    QScrollBar rows;
    FitRowBar(rows, 30, 10);
    rows.setValue(10);
    const double line = page.TextHeight("A"), tpp = page.TwipsPerPixel();
    std::vector<double> tops;  // rows 10 to 15 drawn
    for (int i = 0; i < 6; ++i) tops.push_back(i * line);
    auto at = [&](int row_on_page) { return QPoint(5, static_cast<int>((row_on_page + 0.5) * line / tpp)); };
    const struct {
        const char* mouse;  // p press, s press with Shift, d drag; then the row on the page
        int first, last, redraws;
    } cases[] = {
        {"p2", 12, 12, 1},   {"p2s5", 12, 15, 2}, {"s3", 13, 13, 1}, {"p4d1d1", 11, 14, 2},
        {"p2d9", 12, 15, 2}, {"p2p9", 0, -1, 2},  {"d3", 0, -1, 0},
    };
    for (const auto& c : cases) {
        int redraws = 0;
        RowSelection selection(fp.sys, doc, rows, page, tops,
                               SelectionHooks{[] { return true; }, nullptr, [&] { ++redraws; }});
        for (const char* m = c.mouse; *m; m += 2) {
            if (m[0] == 'd') selection.Drag(at(m[1] - '0'));
            else selection.Press(at(m[1] - '0'), m[0] == 's');
        }
        EXPECT_EQ(selection.First(), c.first) << c.mouse;
        EXPECT_EQ(selection.Last(), c.last) << c.mouse;
        EXPECT_EQ(redraws, c.redraws) << c.mouse;
    }
}

// Go to Row asks until it has a row number or is cancelled, and brings
// the row to the top even past where the bar stops for a full last page.
TEST(WindowParts, GoToRowAsksForARowAndShowsIt) {
    test::Fixture f;
    std::string text = "%CO:A,12,72%";
    for (int r = 1; r <= 60; ++r) text += "row " + std::to_string(r) + "\n";
    f.Load(text);
    const struct {
        std::vector<std::string> answers;
        bool usable;
        int value, asked, focused;
        const char* last_prompt;
    } cases[] = {
        {{"25"}, true, 25, 1, 1, "Go to row (1-60):"},
        {{""}, true, 1, 1, 0, "Go to row (1-60):"},
        {{"abc", "7"}, true, 7, 2, 1, "\"abc\" is not a row number. Go to row (1-60):"},
        {{"58"}, true, 58, 1, 1, "Go to row (1-60):"},
        {{"999"}, true, 60, 1, 1, "Go to row (1-60):"},
        {{"0"}, true, 1, 1, 1, "Go to row (1-60):"},
        {{"2.5"}, true, 2, 1, 1, "Go to row (1-60):"},
        {{}, false, 1, 0, 0, ""},
    };
    for (const auto& c : cases) {
        QScrollBar rows;
        FitRowBar(rows, 60, 10);
        f.fp.input.asked.clear();
        f.fp.input.answers.assign(c.answers.begin(), c.answers.end());
        int focused = 0;
        GoToRow go(
            f.fp.input, f.doc, rows, [&] { return c.usable; }, [&] { ++focused; });
        go.Ask();
        const std::string first = c.answers.empty() ? "" : c.answers[0];
        EXPECT_EQ(rows.value(), c.value) << first;
        EXPECT_EQ(static_cast<int>(f.fp.input.asked.size()), c.asked) << first;
        EXPECT_EQ(focused, c.focused) << first;
        if (!f.fp.input.asked.empty()) {
            EXPECT_EQ(f.fp.input.asked.back().prompt, c.last_prompt) << first;
        }
    }
}

// The layout switch turns to the other layout, ticks its menu entry,
// remembers the choice for the next start and makes the cells afresh.
TEST(WindowParts, LayoutSwitchTurnsRemembersAndRemakesTheCells) {
    test::Fixture f;
    f.Load("%CO:A,12,72%%V%1+2\nplain text\n");
    QAction entry(nullptr);
    entry.setCheckable(true);
    std::vector<std::string> calls;
    LayoutSwitch layouts(
        f.fp.sys, f.doc, entry, [&] { calls.push_back("switching"); }, [&] { calls.push_back("switched"); });
    layouts.ReadSetting();
    ASSERT_EQ(layouts.Current(), Layout::Plain);
    EXPECT_EQ(layouts.Shown().Marked(1, 1), "%V%1+2");
    const struct {
        Layout now;
        bool checked;
        const char* cell;
    } steps[] = {{Layout::PipeDream, true, "3"}, {Layout::Plain, false, "%V%1+2"}, {Layout::PipeDream, true, "3"}};
    for (const auto& s : steps) {
        calls.clear();
        layouts.Switch();
        EXPECT_EQ(layouts.Current(), s.now);
        EXPECT_EQ(entry.isChecked(), s.checked);
        EXPECT_EQ(calls, (std::vector<std::string>{"switching", "switched"}));
        EXPECT_EQ(layouts.ShownIfMade(), nullptr);
        EXPECT_NE(layouts.Shown().Marked(1, 1).find(s.cell), std::string::npos) << layouts.Shown().Marked(1, 1);
        EXPECT_EQ(layouts.Shown().Marked(1, 2), "plain text");
        EXPECT_EQ(ReadLayoutSetting(f.fp.process), s.now);
    }
}

}  // namespace
}  // namespace tw

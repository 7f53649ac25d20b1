// The Edit and View menus on the offscreen platform: find, copy, zoom and
// go to a row, and the row bar's key table beside their shortcuts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

#include "export/html_export.h"
#include "export/text_export.h"
#include "viewer/find.h"
#include "viewer/find_bar.h"
#include "viewer/go_to_row.h"
#include "viewer/selection.h"
#include "viewer/zoom.h"
#include "window_support.h"

namespace tw {
namespace {

using test::Window;

// "row1" ... with a word on a few rows far down.
std::string Document(int rows) {
    std::string s = "%OP%DETools\n%CO:A,12,72%";
    for (int r = 1; r <= rows; ++r) {
        if (r == 150) s += "the Quarry %H2%gate%H2%\n";
        else if (r == 240) s += "quarry again\n";
        else s += "row" + std::to_string(r) + "\n";
    }
    s += "%CO:B,8,72%";
    for (int r = 1; r <= rows; ++r) s += "b" + std::to_string(r) + "\n";
    return s;
}

struct ToolsWindow : Window {
    ToolsWindow(int rows = 300) { Load(File("tools.pd", Document(rows))); }
    frmQuillon& W() { return *w; }
    int Top() { return w->VScroll1->value(); }
    void Find(const QString& text, bool forward = true) {
        w->Find().Bar()->SetText(text);
        if (forward) w->Find().Next();
        else w->Find().Previous();
        Settle();
    }
    QString Status() { return w->Find().Bar()->Status(); }
    // Pixels of the found-text band on the page.
    int BandPixels() {
        QImage page = w->Surface().Pixmap().toImage();
        int n = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) n += page.pixelColor(x, y) == QColor(0xFF, 0xC1, 0x07);
        }
        return n;
    }
    QPoint RowPoint(int row_on_page) {
        double line = w->Surface().TextHeight("A") / w->Surface().TwipsPerPixel();
        return QPoint(20, static_cast<int>((row_on_page + 0.5) * line));
    }
};

TEST(EditAndView, MenusInTheirPlacesWithTheirShortcuts) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Settings", "&About"}));
    const struct {
        QAction* action;
        const char* caption;
        std::vector<const char*> keys;
    } entries[] = {
        {w.mnuEditCopy, "&Copy", {"Ctrl+C"}},
        {w.mnuEditFind, "&Find...", {"Ctrl+F"}},
        {w.mnuEditFindNext, "Find &Next", {"F3"}},
        {w.mnuEditFindPrevious, "Find &Previous", {"Shift+F3"}},
        {w.mnuEditGoToRow, "&Go to Row...", {"Ctrl+G"}},
        {w.mnuViewZoomIn, "Zoom &In", {"Ctrl++", "Ctrl+="}},
        {w.mnuViewZoomOut, "Zoom &Out", {"Ctrl+-"}},
        {w.mnuViewActualSize, "&Actual Size", {"Ctrl+0"}},
        {w.mnuFileExit, "E&xit", {"Ctrl+X", "Ctrl+Q"}},
    };
    for (const auto& e : entries) {
        EXPECT_EQ(e.action->text(), e.caption);
        QList<QKeySequence> keys;
        for (const char* k : e.keys) keys << QKeySequence(QString::fromLatin1(k));
        EXPECT_EQ(e.action->shortcuts(), keys) << e.caption;
    }
}

TEST(EditAndView, EntriesNeedAPageAndZoomRoom) {
    Window empty;
    EXPECT_FALSE(empty.w->mnuEditCopy->isEnabled());
    EXPECT_FALSE(empty.w->mnuEditFind->isEnabled());
    EXPECT_FALSE(empty.w->mnuEditGoToRow->isEnabled());
    EXPECT_TRUE(empty.w->mnuViewZoomIn->isEnabled());
    EXPECT_FALSE(empty.w->mnuViewActualSize->isEnabled());
    ToolsWindow win;
    EXPECT_TRUE(win.w->mnuEditCopy->isEnabled());
    EXPECT_TRUE(win.w->mnuEditFindNext->isEnabled());
    // A list file in front: there is no page to work on.
    win.File("x.l", "tools.pd\n");
    win.Load(win.dir / "x.l");
    EXPECT_FALSE(win.w->mnuEditFind->isEnabled());
    EXPECT_FALSE(win.w->mnuEditCopy->isEnabled());
}

TEST(EditAndView, EachShortcutRunsItsCommand) {
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
    } keys[] = {
        {"find", Qt::Key_F, Qt::ControlModifier},          {"next", Qt::Key_F3, Qt::NoModifier},
        {"previous", Qt::Key_F3, Qt::ShiftModifier},       {"goto", Qt::Key_G, Qt::ControlModifier},
        {"copy", Qt::Key_C, Qt::ControlModifier},          {"zoom in", Qt::Key_Plus, Qt::ControlModifier},
        {"zoom in =", Qt::Key_Equal, Qt::ControlModifier}, {"zoom out", Qt::Key_Minus, Qt::ControlModifier},
        {"actual size", Qt::Key_0, Qt::ControlModifier},   {"exit q", Qt::Key_Q, Qt::ControlModifier},
        {"exit x", Qt::Key_X, Qt::ControlModifier},
    };
    for (const auto& k : keys) {
        ToolsWindow win;
        frmQuillon& w = win.W();
        std::string name = k.name;
        w.Find().Bar()->SetText("quarry");
        if (name == "goto") win.fp.input.answers = {"77"};
        if (name == "actual size") w.Zoom().In();
        QApplication::clipboard()->clear();
        win.Key(k.key, k.mods);
        if (name == "find") {
            EXPECT_TRUE(w.Find().Bar()->isVisible());
            EXPECT_TRUE(w.Find().Bar()->TextBox()->hasFocus());
        } else if (name == "next") {
            EXPECT_EQ(w.Find().Found()->row, 150);
        } else if (name == "previous") {
            EXPECT_EQ(w.Find().Found()->row, 240);
        } else if (name == "goto") {
            EXPECT_EQ(win.Top(), 77);
        } else if (name == "copy") {
            EXPECT_TRUE(QApplication::clipboard()->text().startsWith("row1\tb1\n"));
        } else if (name.rfind("zoom in", 0) == 0) {
            EXPECT_DOUBLE_EQ(w.Zoom().Factor(), 1.1);
        } else if (name == "zoom out") {
            EXPECT_DOUBLE_EQ(w.Zoom().Factor(), 0.9);
        } else if (name == "actual size") {
            EXPECT_DOUBLE_EQ(w.Zoom().Factor(), 1.0);
        } else {
            EXPECT_FALSE(w.isVisible()) << name;
        }
    }
}

TEST(EditAndView, FindForwardBackWrapAndNotFound) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    const int page = w.VScroll1->pageStep();
    ASSERT_LT(page, 100);
    const struct {
        const char* text;
        bool forward, match_case;
        int row, top;  // found row (0: none) and the row bar after
        const char* status;
    } steps[] = {
        {"QUARRY", true, false, 150, 150, ""},
        {"quarry", true, false, 240, 240, ""},
        {"quarry", true, false, 150, 150, "Passed the end; continued from the top"},
        {"quarry", false, false, 240, 240, "Passed the top; continued from the bottom"},
        {"quarry", false, false, 150, 150, ""},
        {"Quarry", true, true, 150, 150, "Passed the end; continued from the top"},
        {"quarry gate", true, false, 150, 150, "Passed the end; continued from the top"},
        {"H2", true, false, 0, 150, "Not found"},
        {"b299", true, false, 299, -1, ""},  // the last page: the bar's maximum
        {"row2", true, false, 2, 2, "Passed the end; continued from the top"},
        {"row20", true, false, 20, 2, ""},  // already on the page: it does not move
    };
    for (const auto& s : steps) {
        w.Find().Bar()->SetMatchCase(s.match_case);
        win.Find(s.text, s.forward);
        EXPECT_EQ(win.Status().toStdString(), s.status) << s.text;
        EXPECT_EQ(win.Top(), s.top < 0 ? w.VScroll1->maximum() : s.top) << s.text;
        if (s.row == 0) continue;
        ASSERT_TRUE(w.Find().Found().has_value()) << s.text;
        EXPECT_EQ(w.Find().Found()->row, s.row) << s.text;
        EXPECT_GT(win.BandPixels(), 0) << s.text;
    }
    // Not found leaves no box in the way.
    EXPECT_TRUE(win.fp.msg.shown.empty());
    // The mark lasts until the page moves; the next find starts from the
    // row on show.
    win.Key(Qt::Key_PageDown);
    EXPECT_FALSE(w.Find().Found().has_value());
    EXPECT_EQ(win.BandPixels(), 0);
    win.Find("quarry");
    EXPECT_EQ(w.Find().Found()->row, 150);
}

TEST(EditAndView, TheFindBarKeepsTheRowOnShowAndEscapeClosesIt) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    w.VScroll1->setValue(120);
    int page = w.VScroll1->pageStep();
    w.Find().Open();
    win.Settle();
    EXPECT_TRUE(w.Find().Bar()->isVisible());
    EXPECT_EQ(win.Top(), 120);
    EXPECT_LT(w.VScroll1->pageStep(), page);  // the bar takes room from the page
    QTest::keyClicks(w.Find().Bar()->TextBox(), "quarry");
    QTest::keyClick(w.Find().Bar()->TextBox(), Qt::Key_Return);
    win.Settle();
    EXPECT_EQ(w.Find().Found()->row, 150);
    QTest::keyClick(w.Find().Bar()->TextBox(), Qt::Key_Return, Qt::ShiftModifier);
    win.Settle();
    EXPECT_EQ(w.Find().Found()->row, 240);
    EXPECT_EQ(win.Top(), 240);
    QTest::keyClick(w.Find().Bar()->TextBox(), Qt::Key_Escape);
    win.Settle();
    EXPECT_FALSE(w.Find().Bar()->isVisible());
    EXPECT_TRUE(w.isVisible());  // Escape in the bar closes the bar only
    EXPECT_EQ(w.VScroll1->pageStep(), page);
    EXPECT_TRUE(w.VScroll1->hasFocus());
    // Still marked: F3 opens the bar again and goes on from the mark.
    ASSERT_TRUE(w.Find().Found().has_value());
    win.Key(Qt::Key_F3);
    EXPECT_TRUE(w.Find().Bar()->isVisible());
    EXPECT_EQ(w.Find().Found()->row, 150);
    EXPECT_EQ(win.Status().toStdString(), "Passed the end; continued from the top");
}

TEST(EditAndView, CopyTheSelectedRowsOrThePage) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    w.VScroll1->setValue(10);
    const int page = w.VScroll1->pageStep();
    const struct {
        const char* how;
        int first, last;
    } cases[] = {{"nothing", 10, 10 + page}, {"click", 12, 12}, {"drag", 11, 14}, {"shift", 12, 15}};
    for (const auto& c : cases) {
        std::string how = c.how;
        QWidget* pic = w.picPrintableArea;
        if (how == "click") {
            QTest::mouseClick(pic, Qt::LeftButton, Qt::NoModifier, win.RowPoint(2));
        } else if (how == "drag") {
            QTest::mousePress(pic, Qt::LeftButton, Qt::NoModifier, win.RowPoint(4));
            QMouseEvent move(QEvent::MouseMove, win.RowPoint(1), pic->mapToGlobal(win.RowPoint(1)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(pic, &move);
            QTest::mouseRelease(pic, Qt::LeftButton, Qt::NoModifier, win.RowPoint(1));
        } else if (how == "shift") {
            QTest::mouseClick(pic, Qt::LeftButton, Qt::NoModifier, win.RowPoint(2));
            QTest::mouseClick(pic, Qt::LeftButton, Qt::ShiftModifier, win.RowPoint(5));
        }
        win.Settle();
        if (how != "nothing") {
            EXPECT_EQ(w.Selection().First(), c.first) << how;
            EXPECT_EQ(w.Selection().Last(), c.last) << how;
        }
        w.Selection().Copy();
        const QMimeData* got = QApplication::clipboard()->mimeData();
        ASSERT_TRUE(got) << how;
        std::string text, html;
        for (int r = c.first; r <= c.last; ++r) {
            std::string a = r == 150 ? "the Quarry gate" : r == 240 ? "quarry again" : "row" + std::to_string(r);
            text += a + "\tb" + std::to_string(r) + "\n";
            if (r == 150) a = "the Quarry <b>gate</b>";
            html += "<tr><td>" + a + "</td><td>b" + std::to_string(r) + "</td></tr>\r\n";
        }
        EXPECT_EQ(got->text().toStdString(), text) << how;
        ASSERT_TRUE(got->hasHtml()) << how;
        std::string h = got->html().toStdString();
        EXPECT_EQ(h.rfind("<html>\r\n<head>\r\n<title>Tools</title>", 0), 0u) << how;
        EXPECT_NE(h.find("<table>\r\n" + html + "</table>"), std::string::npos) << how << "\n" << h;
        EXPECT_EQ(h.find("row" + std::to_string(c.last + 1) + "<"), std::string::npos) << how;
    }
    // The selection is drawn; a click below the document's end clears it.
    QImage page_image = w.Surface().Pixmap().toImage();
    EXPECT_NE(page_image.pixelColor(w.picPrintableArea->width() - 3, win.RowPoint(3).y()),
              page_image.pixelColor(w.picPrintableArea->width() - 3, win.RowPoint(8).y()));
    ToolsWindow small(10);
    QTest::mouseClick(small.w->picPrintableArea, Qt::LeftButton, Qt::NoModifier, small.RowPoint(2));
    EXPECT_EQ(small.w->Selection().First(), 3);
    QTest::mouseClick(small.w->picPrintableArea, Qt::LeftButton, Qt::NoModifier, small.RowPoint(14));
    EXPECT_LT(small.w->Selection().Last(), small.w->Selection().First());
}

TEST(EditAndView, ZoomLeavesTheSettingsAndThePrintFontAlone) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    w.VScroll1->setValue(100);
    const int page = w.VScroll1->pageStep();
    const std::string ini = test::ReadFile(win.dir / "Quillon.ini");
    ASSERT_FALSE(ini.empty());
    const double line = w.Surface().TextHeight("A");
    const struct {
        void (PageZoom::*command)();
        int times;
        double zoom;
    } steps[] = {
        {&PageZoom::In, 1, 1.1},         {&PageZoom::In, 20, 4.0},  {&PageZoom::Out, 1, 3.0},
        {&PageZoom::ActualSize, 1, 1.0}, {&PageZoom::Out, 20, 0.5},
    };
    for (const auto& s : steps) {
        for (int i = 0; i < s.times; ++i) (w.Zoom().*s.command)();
        win.Settle();
        EXPECT_DOUBLE_EQ(w.Zoom().Factor(), s.zoom);
        EXPECT_EQ(win.Top(), 100) << s.zoom;  // redrawn from the row on show
        EXPECT_NEAR(w.Surface().TextHeight("A") / line, s.zoom, 0.25 * s.zoom);
        EXPECT_EQ(w.Surface().FontName(), "Courier New");
        EXPECT_FLOAT_EQ(w.Surface().FontSize(), 9);
        EXPECT_EQ(test::ReadFile(win.dir / "Quillon.ini"), ini) << s.zoom;
    }
    EXPECT_GT(w.VScroll1->pageStep(), page);  // at half size the page holds more rows
    EXPECT_FALSE(w.mnuViewZoomOut->isEnabled());
    // Printing takes the font as set, not as drawn.
    win.dialog.answers = {std::string("printer")};
    w.mnuFilePrint_Click();
    ASSERT_FALSE(win.dialog.printed_drawn.empty());
    EXPECT_FLOAT_EQ(win.dialog.printed_drawn.front().size, 9);
}

TEST(EditAndView, GoToRowShowsTheRowAtTheTop) {
    ToolsWindow win;
    frmQuillon& w = win.W();
    const struct {
        std::vector<std::string> answers;
        int top;
    } cases[] = {
        {{"42"}, 42},   {{"1"}, 1},          {{"0"}, 1},        {{"-5"}, 1},
        {{"300"}, 300}, {{"99999999"}, 300}, {{"two", "7"}, 7}, {{""}, 7},  // Cancel leaves the page where it is
    };
    for (const auto& c : cases) {
        win.fp.input.answers.assign(c.answers.begin(), c.answers.end());
        w.GoTo().Ask();
        win.Settle();
        EXPECT_EQ(win.Top(), c.top) << c.answers.front();
        EXPECT_TRUE(win.fp.input.answers.empty());
    }
    EXPECT_EQ(win.fp.input.asked.front().prompt, "Go to row (1-300):");
    EXPECT_EQ(win.fp.input.asked[1].proposed, "42");
    EXPECT_EQ(win.fp.input.asked[7].prompt, "\"two\" is not a row number. Go to row (1-300):");

    // A document that fits one page moves too.
    w.LoadFile(win.File("short.pd", Document(5)));
    win.Settle();
    for (const char* row : {"3", "1"}) {
        win.fp.input.answers = {row};
        w.GoTo().Ask();
        win.Settle();
        EXPECT_EQ(win.Top(), std::stoi(row));
    }
}

// Every key of the row bar's table does what it did beside the new
// shortcuts. A list of three documents: a and b of 200 rows, c of 3.
TEST(EditAndView, TheRowBarsKeysAreUnchanged) {
    Window win;
    std::string a = "%OP%DEFirst\n%CO:A,12,72%", b = "%OP%DESecond\n%CO:A,12,72%";
    for (int r = 1; r <= 200; ++r) a += "a" + std::to_string(r) + "\n", b += "b" + std::to_string(r) + "\n";
    win.File("a.pd", a);
    win.File("b.pd", b);
    win.File("c.pd", "%OP%DEThird\n%CO:A,12,72%c1\nc2\nc3\n");
    win.File("docs.l", "a.pd\nb.pd\nc.pd\n");
    win.Load(win.dir / "docs.l");
    frmQuillon& w = *win.w;
    QTest::keyClick(w.List1, Qt::Key_Return);
    win.Settle();
    // Save As Text and Print take Ctrl+T and Ctrl+P while they are enabled.
    w.mnuSaveAs[1]->setEnabled(false);
    w.mnuFilePrint->setEnabled(false);
    const int L = w.VScroll1->pageStep(), M = 200 - L;
    ASSERT_GT(M, 50 + L);
    constexpr auto None = Qt::NoModifier;
    constexpr auto Kp = Qt::KeypadModifier;
    constexpr auto Sh = Qt::ShiftModifier;
    constexpr auto Ct = Qt::ControlModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        int doc, row;  // before: list entry and row bar
        int doc_after, row_after;
    } cases[] = {
        {Qt::Key_Left, None, 0, 50, 0, 50},   {Qt::Key_Right, Ct, 0, 50, 0, 50},
        {Qt::Key_PageUp, None, 1, 1, 0, 1},   {Qt::Key_PageUp, None, 0, 50, 0, 50 - L},
        {Qt::Key_PageDown, None, 0, M, 1, 1}, {Qt::Key_PageDown, None, 0, 1, 0, 1 + L},
        {Qt::Key_1, Kp, 0, 5, 0, M},          {Qt::Key_2, Kp, 0, 5, 0, 6},
        {Qt::Key_3, Kp, 0, 5, 0, 5 + L},      {Qt::Key_3, Kp, 0, M, 1, 1},
        {Qt::Key_3, Kp, 0, M - 1, 0, M - 1},  {Qt::Key_7, Kp, 0, 50, 0, 1},
        {Qt::Key_8, Kp, 0, 50, 0, 49},        {Qt::Key_9, Kp, 0, 50, 0, 50 - L},
        {Qt::Key_9, Kp, 1, 1, 0, 1},          {Qt::Key_Down, None, 0, 5, 0, 6},
        {Qt::Key_End, None, 0, 5, 0, M},      {Qt::Key_A, None, 0, 5, 0, 5},
        {Qt::Key_Up, Sh, 0, 50, 0, 50 - L},   {Qt::Key_8, Sh | Kp, 0, 50, 0, 50 - L},
        {Qt::Key_Down, Sh, 0, 5, 0, 5 + L},   {Qt::Key_2, Sh | Kp, 0, 5, 0, 5 + L},
        {Qt::Key_PageDown, Sh, 0, 5, 0, 5},   {Qt::Key_T, Ct, 2, 1, 0, 1},
        {Qt::Key_Home, Ct, 2, 1, 0, 1},       {Qt::Key_7, Ct | Kp, 2, 1, 0, 1},
        {Qt::Key_P, Ct, 1, 1, 0, 1},          {Qt::Key_PageUp, Ct, 2, 1, 1, 1},
        {Qt::Key_9, Ct | Kp, 1, 1, 0, 1},     {Qt::Key_Up, Ct, 0, 50, 0, 1},
        {Qt::Key_8, Ct | Kp, 0, 50, 0, 1},    {Qt::Key_Down, Ct, 0, 5, 0, M},
        {Qt::Key_2, Ct | Kp, 0, 5, 0, M},     {Qt::Key_N, Ct, 0, 5, 1, 1},
        {Qt::Key_PageDown, Ct, 0, 5, 1, 1},   {Qt::Key_3, Ct | Kp, 1, 5, 2, 1},
        {Qt::Key_B, Ct, 0, 5, 2, 1},          {Qt::Key_End, Ct, 0, 5, 2, 1},
        {Qt::Key_1, Ct | Kp, 0, 5, 2, 1},     {Qt::Key_K, Ct, 0, 5, 0, 5},
        {Qt::Key_K, Ct | Sh, 0, 5, 0, 5},
    };
    for (const auto& c : cases) {
        w.VScroll2->setValue(c.doc);
        win.Settle();
        w.VScroll1->setValue(c.row);
        w.VScroll1->setFocus();
        win.Key(c.key, c.mods);
        EXPECT_EQ(w.VScroll2->value(), c.doc_after) << c.key << " " << c.mods;
        EXPECT_EQ(w.VScroll1->value(), c.row_after) << c.key << " " << c.mods;
    }
    // Escape, last: the File Exit command.
    win.Key(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace tw

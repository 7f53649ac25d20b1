// The main window on Qt's offscreen platform, driven with QTest keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPaintEngine>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "document/numbers.h"
#include "platform/fake/fake_dialog.h"
#include "real_documents.h"
#include "settings/recent.h"
#include "settings/settings.h"
#include "support.h"
#include "viewer/computing.h"
#include "viewer/find.h"
#include "viewer/find_bar.h"
#include "viewer/frmQuillon.h"
#include "viewer/selection.h"
#include "window_support.h"

namespace tw {
namespace {

using test::TempDir;

std::string Rows(int n, const std::string& prefix = "row") {
    std::string s = "%CO:A,12,72%";
    for (int r = 1; r <= n; ++r) s += prefix + std::to_string(r) + "\n";
    return s;
}

using test::Window;

TEST(Window, ControlsAndMenusAsDesigned) {
    Window win;
    frmQuillon& w = *win.w;
    EXPECT_EQ(win.Caption(), "Tarnwick");
    EXPECT_EQ(w.VScroll1->minimum(), 1);
    EXPECT_EQ(w.VScroll1->value(), 1);
    EXPECT_EQ(w.VScroll1->singleStep(), 1);
    EXPECT_FALSE(w.VScroll2->isEnabled());
    EXPECT_EQ(w.lblCheckCommandLine->text(), "1");  // toggled by the command-line check
    EXPECT_EQ(w.mnuFileOpen->text(), "&Open...");
    EXPECT_EQ(w.mnuFileOpen->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_FALSE(w.mnuFileListFile->isEnabled());
    EXPECT_EQ(w.mnuSaveAs[0]->text(), "Save As &RTF...");
    EXPECT_EQ(w.mnuSaveAs[1]->shortcut(), QKeySequence("Ctrl+T"));
    EXPECT_EQ(w.mnuSaveAs[2]->shortcut(), QKeySequence("Ctrl+H"));
    EXPECT_EQ(w.mnuFilePrint->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(w.mnuFileExit->text(), "E&xit");
    EXPECT_EQ(w.mnuFileExit->shortcut(), QKeySequence("Ctrl+X"));
    for (QAction* a : w.mnuFileOld) EXPECT_FALSE(a->isVisible());
    EXPECT_FALSE(w.mnuMaxNumCols->isVisible());
    EXPECT_EQ(w.mnuFont->text(), "F&ont");
    EXPECT_EQ(w.mnuAbout->text(), "&About");
    // Tab order: VScroll1, List1, VScroll2, picPrintableArea.
    EXPECT_EQ(w.VScroll1->nextInFocusChain(), w.List1);
    EXPECT_EQ(w.Surface().FontName(), "Courier New");
    EXPECT_FLOAT_EQ(w.Surface().FontSize(), 9);
}

TEST(Window, LargeChangeFollowsTheClientHeightAndTheFontsLineHeight) {
    Window win;
    frmQuillon& w = *win.w;
    double client = w.centralWidget()->height() * w.Tpp();
    double line = w.Surface().TextHeight("A");
    EXPECT_GT(line, 0);
    EXPECT_EQ(w.VScroll1->pageStep(), static_cast<int>(RoundHalfEven(client / line - 1)));

    w.resize(w.width(), w.height() + 200);
    win.Settle();
    double taller = w.centralWidget()->height() * w.Tpp();
    EXPECT_EQ(w.VScroll1->pageStep(), static_cast<int>(RoundHalfEven(taller / line - 1)));
}

TEST(Window, TheRowBarFitsTheDocument) {
    Window win;
    frmQuillon& w = *win.w;
    int large = w.VScroll1->pageStep();
    ASSERT_LT(large, 100);
    win.Load(win.File("hundred.pd", Rows(100)));
    EXPECT_EQ(w.VScroll1->maximum(), 100 - large);
    EXPECT_EQ(win.Caption(), "Tarnwick - " + win.dir.path() + "/hundred.pd");

    win.Load(win.File("short.pd", Rows(large - 2)));
    EXPECT_EQ(w.VScroll1->maximum(), 1);
    win.Key(Qt::Key_PageDown);
    win.Key(Qt::Key_3, Qt::KeypadModifier);
    EXPECT_EQ(w.VScroll1->value(), 1);
}

TEST(Window, KeysMoveThePage) {
    Window win;
    frmQuillon& w = *win.w;
    win.Load(win.File("long.pd", Rows(300)));
    int large = w.VScroll1->pageStep();
    win.Key(Qt::Key_PageDown);
    EXPECT_EQ(w.VScroll1->value(), 1 + large);
    win.Key(Qt::Key_Down);
    EXPECT_EQ(w.VScroll1->value(), 2 + large);
    win.Key(Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(w.VScroll1->value(), 3 + large);
    win.Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(w.VScroll1->value(), 3);
    win.Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(w.VScroll1->value(), w.VScroll1->maximum());
    win.Key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(w.VScroll1->value(), 1);
    win.Key(Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(w.VScroll1->value(), w.VScroll1->maximum());
    win.Key(Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(w.VScroll1->value(), 1);
    win.Key(Qt::Key_End);
    EXPECT_EQ(w.VScroll1->value(), w.VScroll1->maximum());
    // Near the end keypad 3 leaves a partial page undone.
    win.Key(Qt::Key_Up);
    win.Key(Qt::Key_3, Qt::KeypadModifier);
    EXPECT_EQ(w.VScroll1->value(), w.VScroll1->maximum() - 1);
}

TEST(Window, SwallowedKeys) {
    Window win;
    frmQuillon& w = *win.w;
    win.Load(win.File("long.pd", Rows(300)));
    win.Key(Qt::Key_Down);
    ASSERT_EQ(w.VScroll1->value(), 2);
    for (auto [key, mods] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
             {Qt::Key_Left, Qt::NoModifier},
             {Qt::Key_Right, Qt::NoModifier},
             {Qt::Key_PageDown, Qt::ShiftModifier},
             {Qt::Key_End, Qt::ShiftModifier},
             {Qt::Key_Home, Qt::ShiftModifier},
             {Qt::Key_PageUp, Qt::ShiftModifier},
             {Qt::Key_End, Qt::ControlModifier},  // Ctrl+End moves among list documents only
             {Qt::Key_K, Qt::ControlModifier}}) {
        win.Key(key, mods);
        EXPECT_EQ(w.VScroll1->value(), 2) << key;
    }
}

TEST(Window, EscapeQuits) {
    Window win;
    ASSERT_TRUE(win.w->isVisible());
    win.Key(Qt::Key_Escape);
    EXPECT_FALSE(win.w->isVisible());
    EXPECT_EQ(win.Ini("WindowState"), "0");
}

struct ListWindow : Window {
    ListWindow() {
        File("a.pd", "%OP%DEFirst\n" + Rows(200, "a"));
        File("b.pd", "%OP%DESecond\n" + Rows(200, "b"));
        File("c.pd", "%OP%DEThird\n" + Rows(3, "c"));
        File("docs.l", "a.pd\n\nb.pd\nc.pd\n");
        Load(dir / "docs.l");
    }
};

TEST(Window, PageDownOnTheLastPageGoesOnToTheNextListedDocument) {
    ListWindow win;
    frmQuillon& w = *win.w;
    ASSERT_TRUE(w.VScroll2->isEnabled());
    EXPECT_EQ(w.VScroll2->maximum(), 2);
    QTest::keyClick(w.List1, Qt::Key_Return);
    win.Settle();
    EXPECT_EQ(win.Caption(), "Tarnwick - First");
    win.Key(Qt::Key_Down, Qt::ControlModifier);
    ASSERT_EQ(w.VScroll1->value(), w.VScroll1->maximum());
    win.Key(Qt::Key_PageDown);
    EXPECT_EQ(win.Caption(), "Tarnwick - Second");
    EXPECT_EQ(w.VScroll1->value(), 1);
    EXPECT_EQ(w.VScroll2->value(), 1);
    // Page Up on the first page goes back, shown from its top.
    win.Key(Qt::Key_PageUp);
    EXPECT_EQ(win.Caption(), "Tarnwick - First");
    EXPECT_EQ(w.VScroll1->value(), 1);
    win.Key(Qt::Key_PageUp);  // the first entry: nothing before it
    EXPECT_EQ(win.Caption(), "Tarnwick - First");
}

TEST(Window, CtrlKeysStepThroughTheList) {
    ListWindow win;
    frmQuillon& w = *win.w;
    QTest::keyClick(w.List1, Qt::Key_Enter);
    win.Settle();
    win.Key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - Third");
    win.Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - First");
    win.Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - Second");
    win.Key(Qt::Key_9, Qt::KeypadModifier | Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - First");
    win.Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - Third");
    // Page Down on the last document's last page does nothing.
    win.Key(Qt::Key_PageDown);
    EXPECT_EQ(win.Caption(), "Tarnwick - Third");
}

TEST(Window, ADocumentOpenedAfterAListDoesNotStepIntoTheList) {
    ListWindow win;
    frmQuillon& w = *win.w;
    win.Load(win.File("alone.pd", "%OP%DEAlone\n" + Rows(3)));
    EXPECT_FALSE(w.VScroll2->isEnabled());
    win.Key(Qt::Key_PageDown);
    win.Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(win.Caption(), "Tarnwick - Alone");
}

TEST(Window, TheWindowSnapsBackToItsSmallestSize) {
    Window win;
    frmQuillon& w = *win.w;
    w.resize(50, 30);
    win.Settle();
    EXPECT_GE(w.width() * w.Tpp(), 3240 - w.Tpp());
    EXPECT_GE(w.height() * w.Tpp(), 1440 - w.Tpp());
}

TEST(Window, AMaximizedWindowIsLaidOutAndKeepsItsNormalPlacement) {
    Window win("Left=1500\nTop=1200\nWidth=7500\nHeight=5400\n");
    frmQuillon& w = *win.w;
    EXPECT_EQ(win.Ini("Width"), "7500");
    w.showMaximized();
    win.Settle();
    EXPECT_EQ(w.picPrintableArea->height(), w.centralWidget()->height());
    EXPECT_EQ(w.VScroll2->height(), w.centralWidget()->height() + 2);
    w.close();
    EXPECT_EQ(win.Ini("WindowState"), "2");
    EXPECT_EQ(win.Ini("Left"), "1500");
    EXPECT_EQ(win.Ini("Width"), "7500");
    EXPECT_EQ(win.Ini("Height"), "5400");
}

TEST(Window, ClosingANormalWindowStoresAllFive) {
    Window win("Left=1500\nTop=1200\nWidth=7500\nHeight=5400\n");
    frmQuillon& w = *win.w;
    w.move(100, 80);
    w.resize(700, 500);
    win.Settle();
    w.close();
    EXPECT_EQ(win.Ini("WindowState"), "0");
    EXPECT_EQ(win.Ini("Left"), FormatSingle(static_cast<float>(w.x() * w.Tpp())));
    EXPECT_EQ(win.Ini("Width"), FormatSingle(static_cast<float>(700 * w.Tpp())));
    EXPECT_EQ(win.Ini("Height"), FormatSingle(static_cast<float>(500 * w.Tpp())));
}

TEST(Window, APlacementOffEveryScreenIsMovedOntoThePrimaryOne) {
    Window win("Left=-30000\nTop=-30000\n");
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(win.w->frameGeometry()));
}

TEST(Window, TheCommandLineIsLoadedOnceTheWindowIsShown) {
    TempDir docs;
    std::string path = docs.Write("cmd.pd", "%OP%DEFrom the command line\n%CO:A,8,0%x\n");
    Window win("", "  " + path + "  ");
    EXPECT_EQ(win.Caption(), "Tarnwick - From the command line");
    EXPECT_EQ(RecentPath(*win.w, 1), path);

    Window blank("", "   ");
    EXPECT_EQ(blank.Caption(), "Tarnwick");
    EXPECT_TRUE(blank.fp.msg.shown.empty());
}

TEST(Window, FileOpenLoadsTheChosenFileAndCancelChangesNothing) {
    Window win;
    std::string path = win.File("open.pd", "%OP%DEOpened\n%CO:A,8,0%x\n");
    win.dialog.answers = {path, std::nullopt};
    win.w->mnuFileOpen_Click();
    EXPECT_EQ(win.Caption(), "Tarnwick - Opened");
    const auto& shown = win.dialog.shown.back();
    EXPECT_EQ(shown.filter, "All files (*.*)|*.*|PipeDream (*.pd)|*.pd|PipeDream List file (*.l)|*.l");
    EXPECT_EQ(shown.flags, 4);
    EXPECT_TRUE(shown.cancel_error);
    win.w->mnuFileOpen_Click();
    EXPECT_EQ(win.Caption(), "Tarnwick - Opened");
    EXPECT_TRUE(win.fp.msg.shown.empty());
}

TEST(Window, TheFontCommandChangesTheSurfaceAndTheSettings) {
    Window win;
    win.dialog.CancelError = true;  // left set by an earlier command
    win.dialog.answers = {std::nullopt, std::string("Arial|10.5")};
    win.w->mnuFont_Click();
    EXPECT_EQ(win.w->Surface().FontName(), "Courier New");
    EXPECT_TRUE(win.fp.msg.shown.empty());
    EXPECT_EQ(win.Ini("FontName"), "");
    win.w->mnuFont_Click();
    EXPECT_EQ(win.dialog.shown.back().flags, 0x10403);
    EXPECT_EQ(win.dialog.shown.back().font_name, "Courier New");
    EXPECT_EQ(win.w->Surface().FontName(), "Arial");
    EXPECT_FLOAT_EQ(win.w->Surface().FontSize(), 10.5);
    EXPECT_EQ(win.Ini("FontName"), "Arial");
    EXPECT_EQ(win.Ini("FontSize"), "10.5");
    frmQuillon next(win.services, win.doc, "");  // the next start reads them back
    EXPECT_EQ(next.Surface().FontName(), "Arial");
    EXPECT_FLOAT_EQ(next.Surface().FontSize(), 10.5);
}

TEST(Window, MaxNumberOfColumnsAsksUntilTheAnswerFits) {
    Window win;
    win.fp.input.answers = {"0", "65", "x", "64.4"};
    win.w->mnuMaxNumCols_Click();
    EXPECT_EQ(win.doc.MaxNumCols, 64);
    ASSERT_EQ(win.fp.input.asked.size(), 4u);
    EXPECT_EQ(win.fp.input.asked[0].prompt, "Maximum number of columns (1-64):");
    EXPECT_EQ(win.fp.input.asked[0].proposed, "64");
    EXPECT_EQ(win.fp.input.asked[1].proposed, "0");
    EXPECT_EQ(win.Ini("MaxNumCols"), "64");
    win.fp.input.answers = {"3"};
    win.w->mnuMaxNumCols_Click();
    EXPECT_EQ(win.doc.MaxNumCols, 3);
    win.fp.input.answers = {""};
    win.w->mnuMaxNumCols_Click();
    EXPECT_EQ(win.doc.MaxNumCols, 3);
}

TEST(Window, EveryRealDocumentOpensAndDraws) {
    auto docs = test::RealDocuments();
    Window win;
    for (const std::string& path : docs) {
        win.Load(path);
        EXPECT_TRUE(win.fp.msg.shown.empty()) << path;
        EXPECT_EQ(win.w->VScroll1->value(), 1) << path;
        QImage page = win.w->Surface().Pixmap().toImage();
        bool ink = false;
        QRgb background = page.pixel(0, 0);
        for (int y = 0; y < page.height() && !ink; y += 2) {
            for (int x = 0; x < page.width() && !ink; ++x) ink = page.pixel(x, y) != background;
        }
        // The templates hold only empty cells; the others show text.
        bool has_text = path.find("template") == std::string::npos && path.find("choices") == std::string::npos;
        EXPECT_EQ(ink, has_text) << path;
    }
}

TEST(Window, ABurstOfResizesLaysTheWindowOutForTheLastSize) {
    Window win;
    frmQuillon& w = *win.w;
    win.Load(win.File("long.pd", Rows(300)));
    EXPECT_FALSE(w.isAnimated());
    for (int i = 0; i < 400; ++i) {
        w.resize(300 + (i * 37) % 500, 200 + (i * 53) % 400);
        // Now and then the events run in the middle of the burst.
        if (i % 7 == 0) QApplication::processEvents();
    }
    w.resize(640, 480);
    win.Settle();
    QWidget* client = w.centralWidget();
    EXPECT_EQ(w.picPrintableArea->height(), client->height());
    EXPECT_EQ(w.picPrintableArea->width(), client->width() - w.VScroll1->width());
    EXPECT_EQ(w.VScroll2->height(), client->height() + 2);
    double line = w.Surface().TextHeight("A");
    EXPECT_EQ(w.VScroll1->pageStep(), static_cast<int>(RoundHalfEven(client->height() * w.Tpp() / line - 1)));
}

TEST(Window, AResizeWhileTheLayoutRunsRunsItAgainForTheNewSize) {
    // The procedure lets pending events run between its steps; a resize
    // among them must leave the window laid out for that size.
    const struct {
        const char* name;
        QSize during;
    } cases[] = {{"taller", {620, 700}}, {"smaller", {420, 300}}, {"below the smallest", {40, 20}}};
    for (const auto& c : cases) {
        Window win;
        frmQuillon& w = *win.w;
        w.resize(500, 400);
        win.Settle();
        QTimer::singleShot(0, &w, [&] { w.resize(c.during); });
        w.Form_Resize();
        QWidget* client = w.centralWidget();
        EXPECT_NE(w.size(), QSize(500, 400)) << c.name;
        EXPECT_EQ(w.picPrintableArea->height(), client->height()) << c.name;
        EXPECT_EQ(w.VScroll2->height(), client->height() + 2) << c.name;
        EXPECT_GE(w.width() * w.Tpp(), 3240 - w.Tpp()) << c.name;
    }
}

TEST(Window, AListOnTheCommandLineIsReadableAtOnceWhateverTheWindowSize) {
    TempDir docs;
    docs.Write("welcome.pd", "%OP%DEWelcome\n%CO:A,8,0%x\n");
    docs.Write("budget.pd", "%OP%DEBudget\n%CO:A,8,0%y\n");
    std::string list = docs.Write("samples.l", "welcome.pd\nbudget.pd\nsamples2.pd\n");
    for (const char* ini : {"", "Width=13500\nHeight=9000\n", "Width=4000\nHeight=2000\n",
                            "Width=30000\nHeight=15000\n", "WindowState=2\n"}) {
        Window win(ini, list);
        frmQuillon& w = *win.w;
        ASSERT_EQ(w.List1->count(), 3) << ini;
        EXPECT_TRUE(w.List1->isVisible()) << ini;
        QFontMetrics fm(w.List1->font());
        QRect view = w.List1->viewport()->rect();
        for (int i = 0; i < w.List1->count(); ++i) {
            QListWidgetItem* item = w.List1->item(i);
            QRect r = w.List1->visualItemRect(item);
            // The whole name fits its cell, and the cell lies in the list.
            EXPECT_GE(r.width(), fm.horizontalAdvance(item->text())) << ini << item->text().toStdString();
            EXPECT_GE(r.height(), fm.height()) << ini;
            EXPECT_TRUE(view.contains(r.topLeft())) << ini << " at " << r.x() << "," << r.y();
        }
    }
}

// A paint device that keeps the texts painted on it, as painted: a name
// the list cuts short arrives with its ellipsis.
class TextRecorder : public QPaintEngine {
public:
    QStringList texts;
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
    Type type() const override { return QPaintEngine::User; }
};

class TextDevice : public QPaintDevice {
public:
    explicit TextDevice(QSize size) : size_(size) {}
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable TextRecorder engine;

protected:
    int metric(PaintDeviceMetric m) const override {
        if (m == PdmWidth) return size_.width();
        if (m == PdmHeight) return size_.height();
        if (m == PdmDevicePixelRatioScaled) return static_cast<int>(devicePixelRatioFScale());
        return m == PdmDepth ? 32 : m >= PdmDpiX && m <= PdmPhysicalDpiY ? 96 : 1;
    }

private:
    QSize size_;
};

TEST(Window, ListNamesAreDrawnWholeAtEveryWidth) {
    TempDir docs;
    const std::string stem = "Functions__Stats__Listcount_and_a_much_longer_tail_of_words";
    std::vector<std::string> names;
    for (std::size_t n : {10u, 22u, 30u, 45u, 60u}) names.push_back(stem.substr(0, n - 3) + ".pd");
    std::string lines;
    for (const std::string& n : names) lines += n + "\n";
    std::string list = docs.Write("names.l", lines);
    Window win("", list);
    frmQuillon& w = *win.w;
    ASSERT_EQ(w.List1->count(), 5);
    for (int width : {640, 800, 1024, 1280, 1580}) {
        w.resize(width, 700);
        win.Settle();
        TextDevice device(w.List1->size());
        w.List1->render(&device);
        QStringList& drawn = device.engine.texts;
        for (const std::string& n : names) {
            EXPECT_TRUE(drawn.contains(QString::fromStdString(" " + n)))
                << n << " at " << width << " px; drawn: " << drawn.join('|').toStdString();
        }
    }
}

TEST(Window, AFileThatDoesNotExistIsNeitherRecentNorInTheCaption) {
    const struct {
        const char* name;
        bool exists;
    } cases[] = {{"there.pd", true}, {"gone.pd", false}};
    for (const auto& c : cases) {
        Window win;
        std::string kept = win.File("kept.pd", "%CO:A,8,0%x\n");
        win.Load(kept);
        std::string path = win.dir / c.name;
        if (c.exists) win.File(c.name, "%CO:A,8,0%y\n");
        win.Load(path);
        EXPECT_EQ(win.Caption(), c.exists ? "Tarnwick - " + path : "Tarnwick") << c.name;
        EXPECT_EQ(win.Ini("File1"), c.exists ? path : kept) << c.name;
        EXPECT_EQ(RecentPath(*win.w, 1), c.exists ? path : kept) << c.name;
    }
}

TEST(Window, TheRecentFilesStandBelowARealSeparator) {
    Window win;
    frmQuillon& w = *win.w;
    win.Load(win.File("a.pd", Rows(3)));
    win.OpenFileMenu();
    EXPECT_TRUE(w.mnuFileOld[0]->isSeparator());
    EXPECT_TRUE(w.mnuFileOld[0]->text().isEmpty());
    EXPECT_TRUE(w.mnuFileOld[0]->isVisible());
    // No entry of the File menu shows a text of "-".
    for (QAction* a : w.mnuFile->actions()) EXPECT_NE(a->text(), "-");
    QList<QAction*> actions = w.mnuFile->actions();
    auto at = actions.indexOf(w.mnuFileOld[0]);
    ASSERT_GE(at, 0);
    EXPECT_EQ(actions.value(at + 1), w.mnuFileOld[1]);
}

TEST(Window, ANameOnTheCommandLineIsTakenInTheFolderTheProgramStartedFrom) {
    TempDir start, saved;
    start.Write("notes.pd", "%OP%DEStarted here\n%CO:A,8,0%x\n");
    saved.Write("notes.pd", "%OP%DESaved folder\n%CO:A,8,0%y\n");
    std::filesystem::create_directories(start / "sub");
    start.Write("sub/deeper.pd", "%OP%DEDeeper\n%CO:A,8,0%z\n");
    const std::string ini = "InitDir=" + saved.path() + "/\n";
    const struct {
        std::string command_line, caption, file1;
    } cases[] = {
        {"notes.pd", "Tarnwick - Started here", start.path() + "/notes.pd"},
        {"./notes.pd", "Tarnwick - Started here", start.path() + "/notes.pd"},
        {"sub/deeper.pd", "Tarnwick - Deeper", start.path() + "/sub/deeper.pd"},
        {saved.path() + "/notes.pd", "Tarnwick - Saved folder", saved.path() + "/notes.pd"},
    };
    for (const auto& c : cases) {
        Window win(ini, c.command_line, start.path());
        EXPECT_TRUE(win.fp.msg.shown.empty()) << c.command_line;
        EXPECT_EQ(win.Caption(), c.caption) << c.command_line;
        EXPECT_EQ(win.Ini("File1"), c.file1) << c.command_line;
        EXPECT_EQ(win.Ini("InitDir"), c.file1.substr(0, c.file1.rfind('/') + 1)) << c.command_line;
    }
    // Without a file the Open dialog starts in the saved folder.
    Window idle(ini, "", start.path());
    EXPECT_EQ(idle.fp.process.current_folder, saved.path());
    EXPECT_EQ(std::filesystem::current_path().string(), saved.path());
}

// --- The PipeDream layout in the window -----------------------------------

// The columns of the page that hold ink between pixel rows y0 and y1.
struct InkSpan {
    int left = -1, right = -1;
    bool Any() const { return left >= 0; }
};

InkSpan InkBetween(const QImage& page, int y0, int y1) {
    InkSpan span;
    const QRgb background = page.pixel(page.width() - 1, page.height() - 1);
    for (int y = std::max(y0, 0); y < std::min(y1, page.height()); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixel(x, y) == background) continue;
            if (span.left < 0 || x < span.left) span.left = x;
            span.right = std::max(span.right, x);
        }
    }
    return span;
}

// Pixel rows inked from the left edge to the right edge.
std::vector<int> RuledRows(const QImage& page) {
    std::vector<int> rows;
    const QRgb background = page.pixel(page.width() - 1, page.height() - 1);
    for (int y = 0; y < page.height(); ++y) {
        bool full = true;
        for (int x = 0; x < page.width() && full; ++x) full = page.pixel(x, y) != background;
        if (full) rows.push_back(y);
    }
    return rows;
}

QImage PageImage(Window& win) { return win.w->Surface().Pixmap().toImage(); }

double CharPx(Window& win) { return win.w->Surface().TextWidth("A") / win.w->Tpp(); }
double LinePx(Window& win) { return win.w->Surface().TextHeight("A") / win.w->Tpp(); }

TEST(PipeDreamLayout, AViewMenuEntryBetweenFileAndSettings) {
    Window win;
    frmQuillon& w = *win.w;
    std::vector<QMenu*> menus;
    for (QAction* a : w.menuBar()->actions()) menus.push_back(a->menu());
    const auto at = [&](QMenu* m) { return std::find(menus.begin(), menus.end(), m) - menus.begin(); };
    EXPECT_EQ(at(w.mnuFile), 0);
    EXPECT_LT(at(w.mnuFile), at(w.mnuView));
    EXPECT_LT(at(w.mnuView), at(w.mnuSettings));
    EXPECT_LT(at(w.mnuSettings), static_cast<std::ptrdiff_t>(menus.size()));
    EXPECT_EQ(w.mnuView->title(), "&View");
    EXPECT_TRUE(w.mnuView->actions().contains(w.mnuViewPipeDreamLayout));
    EXPECT_EQ(w.mnuViewPipeDreamLayout->text(), "&PipeDream Layout");
    EXPECT_EQ(w.mnuViewPipeDreamLayout->shortcut(), QKeySequence("Ctrl+Shift+L"));
    EXPECT_TRUE(w.mnuViewPipeDreamLayout->isCheckable());
    EXPECT_TRUE(w.mnuViewPipeDreamLayout->isEnabled());
    // No other entry shares the key.
    for (QAction* a : w.findChildren<QAction*>()) {
        if (a == w.mnuViewPipeDreamLayout) continue;
        EXPECT_NE(a->shortcut(), QKeySequence("Ctrl+Shift+L")) << a->text().toStdString();
    }
}

TEST(PipeDreamLayout, TheSettingIsReadAtStart) {
    const struct {
        const char* ini;
        bool pipedream;
    } cases[] = {
        {"", false},
        {"Layout=\n", false},
        {"Layout=PipeDream\n", true},
        {"layout=pipedream\n", true},  // hand-edited: names are case-blind
        {"Layout=Plain\n", false},
        {"Layout=PipeDreamX\n", false},
    };
    for (const auto& c : cases) {
        Window win(c.ini);
        EXPECT_EQ(win.w->ShownLayout() == Layout::PipeDream, c.pipedream) << c.ini;
        EXPECT_EQ(win.w->mnuViewPipeDreamLayout->isChecked(), c.pipedream) << c.ini;
        EXPECT_TRUE(win.fp.msg.shown.empty()) << c.ini;
    }
}

TEST(PipeDreamLayout, TheChoiceSurvivesARestart) {
    std::string saved;
    {
        Window win;
        win.w->mnuViewPipeDreamLayout->trigger();  // as the menu does: Qt checks it first
        win.Settle();
        EXPECT_TRUE(win.w->mnuViewPipeDreamLayout->isChecked());
        EXPECT_EQ(win.Ini("Layout"), "PipeDream");
        saved = test::ReadFile(win.dir / "Quillon.ini");
    }
    ASSERT_EQ(saved.rfind("[Quillon]", 0), 0u);
    Window again(saved.substr(saved.find('\n') + 1));
    EXPECT_EQ(again.w->ShownLayout(), Layout::PipeDream);
    EXPECT_TRUE(again.w->mnuViewPipeDreamLayout->isChecked());
    again.w->mnuViewPipeDreamLayout->trigger();
    again.Settle();
    EXPECT_FALSE(again.w->mnuViewPipeDreamLayout->isChecked());
    EXPECT_EQ(again.w->ShownLayout(), Layout::Plain);
    EXPECT_EQ(again.Ini("Layout"), "");
    EXPECT_NE(test::ReadFile(again.dir / "Quillon.ini").find("Layout=\n"), std::string::npos);
}

TEST(PipeDreamLayout, SwitchingRedrawsThePageFromTheRowOnShow) {
    Window win;
    // Row r holds the number cell r*2: the plain layout shows the formula
    // at the column's start, the PipeDream layout its value at the column's end.
    std::string text = "%CO:A,20,72%";
    for (int r = 1; r <= 200; ++r) text += "%V%%D0%" + std::to_string(r) + "*2\n";
    win.Load(win.File("numbers.pd", text));
    win.w->VScroll1->setValue(50);
    win.Settle();
    const QImage plain = PageImage(win);
    const double cw = CharPx(win), lh = LinePx(win), x0 = win.doc.StartPosition(1) * cw;
    const InkSpan plain_first = InkBetween(plain, 0, static_cast<int>(lh));
    ASSERT_TRUE(plain_first.Any());
    EXPECT_LT(plain_first.left, x0 + cw);  // "50*2" from the column's start
    EXPECT_GT(plain_first.right - plain_first.left, 3 * cw);

    QTest::keyClick(win.w.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    win.Settle();
    if (win.w->ShownLayout() != Layout::PipeDream) {
        // Shortcuts need an active window, which not every offscreen run gives.
        win.w->mnuViewPipeDreamLayout->trigger();
        win.Settle();
    }
    ASSERT_EQ(win.w->ShownLayout(), Layout::PipeDream);
    EXPECT_EQ(win.w->VScroll1->value(), 50);
    const QImage laid = PageImage(win);
    EXPECT_NE(laid, plain);
    const InkSpan first = InkBetween(laid, 0, static_cast<int>(lh));
    ASSERT_TRUE(first.Any());
    // "100", the value of row 50 (not "2" of row 1), ends at the column's end.
    EXPECT_GT(first.left, x0 + 16 * cw);
    EXPECT_LE(first.right, x0 + 20 * cw);
    EXPECT_GT(first.right - first.left, 2 * cw);
    EXPECT_LT(first.right - first.left, 3 * cw);
    // Stepping on keeps the layout.
    win.Key(Qt::Key_Down);
    const InkSpan stepped = InkBetween(PageImage(win), 0, static_cast<int>(lh));
    EXPECT_EQ(stepped.right, first.right);  // "102" right-aligned like "100"

    win.w->mnuViewPipeDreamLayout->trigger();
    win.Settle();
    win.w->VScroll1->setValue(50);
    win.Settle();
    EXPECT_EQ(PageImage(win), plain);  // back, byte for byte the plain page
}

TEST(PipeDreamLayout, FindAndCopyTakeTheLayoutOnShow) {
    // Row 60 computes 25*4; the plain layout shows only its formula.
    std::string text = "%CO:A,12,72%";
    for (int r = 1; r <= 80; ++r) text += r == 60 ? "%V%%D0%25*4\n" : "words" + std::to_string(r) + "\n";
    const struct {
        bool pipedream;
        const char* wanted;
        bool found;
    } cases[] = {
        {false, "100", false},
        {true, "100", true},
        {false, "25*4", true},
        {true, "25*4", false},
    };
    for (const auto& c : cases) {
        Window win(c.pipedream ? "Layout=PipeDream\n" : "");
        win.Load(win.File("find.pd", text));
        win.w->Find().Bar()->SetText(QString::fromLatin1(c.wanted));
        win.w->Find().Next();
        win.Settle();
        EXPECT_EQ(win.w->Find().Found().has_value(), c.found) << c.wanted << c.pipedream;
        if (c.found) {
            EXPECT_EQ(win.w->Find().Found()->row, 60) << c.wanted;
        }
        // Copy takes the rows on show, in the same layout.
        std::unique_ptr<QMimeData> rows(win.w->Selection().CopiedRows());
        const std::string copied = rows->text().toStdString();
        EXPECT_EQ(copied.find(c.wanted) != std::string::npos, c.found) << copied;
    }
}

// A sheet whose every row counts the rows above: the last page needs the
// whole sheet computed. The key is handled at once, the page fills in from
// the event loop, and Escape quits while it computes.
TEST(PipeDreamLayout, ComputingNeverHoldsTheWindow) {
    std::string sheet = "%CO:A,12,72%%V%%D0%1\n";
    for (int n = 2; n <= 4000; ++n) sheet += "%V%%D0%count(A1A" + std::to_string(n - 1) + ")+1\n";
    QImage expected;
    {
        Window done("Layout=PipeDream\n");
        done.Load(done.File("count.pd", sheet));
        done.Key(Qt::Key_Down, Qt::ControlModifier);
        while (done.w->Computing()->Busy()) QApplication::processEvents();
        expected = PageImage(done);
    }
    Window win("Layout=PipeDream\n");
    // Slices of a millisecond: the few events the test lets run leave the
    // sheet far from computed, however fast the machine.
    win.w->Computing()->SetSliceMs(1);
    win.Load(win.File("count.pd", sheet));
    win.Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(win.w->VScroll1->value(), win.w->VScroll1->maximum());
    ASSERT_TRUE(win.w->Computing()->Busy());
    EXPECT_NE(PageImage(win), expected);  // placeholders where values will be
    win.Key(Qt::Key_Escape);
    EXPECT_FALSE(win.w->isVisible());
    EXPECT_FALSE(win.w->Computing()->Busy());
}

TEST(PipeDreamLayout, ANewDocumentIsShownWithItsOwnValues) {
    // The second document's page, however it was reached, is the page a
    // fresh window shows for it: nothing computed for the first remains.
    const std::string first = "%CO:A,12,72%%V%%D0%1+1\n%V%%D0%A1*100\n";
    const std::string second = "%CO:A,12,72%%V%%D0%5*5\n%V%%D0%A1*3\n";
    QImage expected;
    {
        Window fresh("Layout=PipeDream\n");
        fresh.Load(fresh.File("b.pd", second));
        expected = PageImage(fresh);
    }
    for (bool through_list : {false, true}) {
        Window win("Layout=PipeDream\n");
        win.File("a.pd", first);
        win.File("b.pd", second);
        if (through_list) {
            win.Load(win.File("ab.l", "a.pd\nb.pd\n"));
            win.Key(Qt::Key_Return);
            win.Key(Qt::Key_N, Qt::ControlModifier);
        } else {
            win.Load(win.dir / "a.pd");
            win.Load(win.dir / "b.pd");
        }
        ASSERT_EQ(win.doc.Cells(1, 1), "%V%%D0%5*5") << through_list;
        EXPECT_EQ(PageImage(win), expected) << through_list;
    }
}

TEST(PipeDreamLayout, AHardPageBreakIsRuledAcrossThePage) {
    const struct {
        const char* what;
        bool pipedream;
        int first_row;
        std::vector<int> ruled_rows;  // document rows whose top carries a rule
    } cases[] = {
        {"plain layout: no rules", false, 1, {}},
        {"hard break before row 4, conditional one before row 7 unruled", true, 1, {4}},
        {"scrolled: the rule moves with its row", true, 3, {4}},
        {"scrolled past it", true, 5, {}},
    };
    for (const auto& c : cases) {
        Window win(c.pipedream ? "Layout=PipeDream\n" : "");
        std::string text = "%CO:A,12,72%";
        for (int r = 1; r <= 40; ++r) {
            if (r == 4) text += "%P0%";
            if (r == 7) text += "%P5%";
            text += "row" + std::to_string(r) + "\n";
        }
        win.Load(win.File("breaks.pd", text));
        win.w->VScroll1->setValue(c.first_row);
        win.Settle();
        const std::vector<int> ruled = RuledRows(PageImage(win));
        ASSERT_EQ(ruled.size(), c.ruled_rows.size()) << c.what;
        const double lh = LinePx(win);
        for (std::size_t i = 0; i < ruled.size(); ++i) {
            EXPECT_NEAR(ruled[i], (c.ruled_rows[i] - c.first_row) * lh, 1.0) << c.what;
        }
    }
}

TEST(PipeDreamLayout, PrintingAndSaveAsTakeTheLayoutOnShow) {
    for (bool pipedream : {false, true}) {
        Window win(pipedream ? "Layout=PipeDream\n" : "");
        win.Load(win.File("sum.pd", "%CO:A,10,72%%V%%D0%6*7\n"));
        win.dialog.answers = {""};
        win.w->mnuFilePrint_Click();
        const std::string printed = win.dialog.printed;
        ASSERT_FALSE(printed.empty());
        EXPECT_EQ(printed.find("42") != std::string::npos, pipedream) << printed;
        EXPECT_EQ(printed.find("6*7") != std::string::npos, !pipedream) << printed;

        win.dialog.answers = {win.dir / "sum.txt"};
        win.w->mnuSaveAs_Click(1);
        const std::string saved = test::ReadFile(win.dir / "sum.txt");
        // The text export marks a number cell of the stored text with "=".
        EXPECT_EQ(saved, pipedream ? "42\r\n" : "=6*7\r\n");
    }
}

TEST(Window, ThePrintDialogsFitWidthPrintsTheWidestRowWhole) {
    const struct {
        const char* ticked;
        bool landscape, fit;
    } cases[] = {{"", false, false},
                 {"fit-width", false, true},
                 {"landscape", true, false},
                 {"landscape,fit-width", true, true}};
    for (const auto& c : cases) {
        Window win;
        win.Load(win.File("wide.pd", "%CO:A,8,0%" + std::string(150, 'w') + "\nshort\n"));
        win.dialog.answers = {c.ticked};
        win.fp.input.answers = {"60"};  // the page length, should the printer's differ
        win.w->mnuFilePrint_Click();
        EXPECT_EQ(win.dialog.PrintLandscape, c.landscape) << c.ticked;
        EXPECT_EQ(win.dialog.PrintFitWidth, c.fit) << c.ticked;
        // 152 characters of 108 twips on a page 11000 wide.
        EXPECT_NEAR(win.dialog.printed_scale, c.fit ? 11000.0 / (152 * 108) : 1, 1e-9) << c.ticked;
    }
}

}  // namespace
}  // namespace tw

TARNWICK_QT_TEST_MAIN

// The File menu's commands in the window: Save As, the recent files, list
// files, the menu's enabling and About.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include "export/save_as.h"
#include "platform/fake/fake_dialog.h"
#include "settings/recent.h"
#include "settings/settings.h"
#include "support.h"
#include "viewer/frmQuillon.h"
#include "window_support.h"

namespace tw {
namespace {

using test::ReadFile;
using test::TempDir;

using test::Window;

TEST(ProposedSaveName, FromTheMostRecentFile) {
    const struct {
        const char* recent;
        const char* selected;
        const char* proposed;
    } cases[] = {
        {"/docs/REPORT.PD", "", "/docs/REPORT"},
        {"/docs/WORK.L", " PLAN.PD", "/docs/PLAN"},
        {"/docs/work.l", "PLAN.PD ", "/docs/PLAN"},
        {"work.l", " PLAN.PD", "PLAN"},
        {"/my.dir/NOTES", "", "/my"},
        {"", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ProposedSaveName(c.recent, c.selected), c.proposed) << c.recent;
}

TEST(SaveAs, ProposesTheNameAndWritesWithTheEntrysWriter) {
    Window win;
    std::string doc = win.File("REPORT.PD", "%OP%DEReport\n%CO:A,8,0%%H2%Total%H2%\n%V%6*7\n");
    win.Load(doc);
    const struct {
        const char* title;
        const char* filter;
        const char* ext;
    } entries[] = {
        {"Save As RTF", "RTF (*.rtf)|*.rtf", "rtf"},
        {"Save As Text", "Text (*.txt)|*.txt", "txt"},
        {"Save As HTML", "HTML (*.htm)|*.htm", "htm"},
        {"Save As CSV", "CSV (*.csv)|*.csv", "csv"},
    };
    for (int i = 0; i < 4; ++i) {
        std::string out = win.dir / (std::string("REPORT.") + entries[i].ext);
        win.dialog.answers = {out};
        win.w->mnuSaveAs_Click(i);
        const auto& shown = win.dialog.shown.back();
        EXPECT_EQ(shown.kind, "save");
        EXPECT_EQ(shown.file_name, win.dir / "REPORT");
        EXPECT_EQ(shown.title, entries[i].title);
        EXPECT_EQ(shown.filter, entries[i].filter);
        EXPECT_EQ(shown.default_ext, entries[i].ext);
        EXPECT_EQ(shown.flags, kSaveAsFlags);
        EXPECT_TRUE(shown.cancel_error);
        ASSERT_TRUE(std::filesystem::exists(out)) << out;
    }
    // The CSV holds values: the number cell computed, the text without its codes.
    EXPECT_EQ(ReadFile(win.dir / "REPORT.csv"), "Total\r\n42\r\n");
    EXPECT_EQ(win.w->mnuSaveAsCsv->text(), "Save As &CSV...");
    const QList<QAction*> file = win.w->mnuFile->actions();
    EXPECT_EQ(file.indexOf(win.w->mnuSaveAsCsv), file.indexOf(win.w->mnuSaveAs[2]) + 1);
    EXPECT_NE(ReadFile(win.dir / "REPORT.htm").find("<b>Total</b>"), std::string::npos);
    EXPECT_NE(ReadFile(win.dir / "REPORT.rtf").find("\\b Total\\b0"), std::string::npos);
    EXPECT_TRUE(win.fp.msg.shown.empty());
}

TEST(SaveAs, ForAListFileTheSelectedDocumentIsProposed) {
    Window win;
    win.File("PLAN.PD", "%OP%DEPlan\n%CO:A,8,0%x\n");
    win.File("OTHER.PD", "%CO:A,8,0%y\n");
    win.Load(win.File("WORK.L", "OTHER.PD\nPLAN.PD\n"));
    win.w->List1->setCurrentRow(1);
    QTest::keyClick(win.w->List1, Qt::Key_Return);
    win.Settle();
    ASSERT_EQ(win.Caption(), "Tarnwick - Plan");
    win.dialog.answers = {std::nullopt};
    win.w->mnuSaveAs_Click(1);
    EXPECT_EQ(win.dialog.shown.back().file_name, win.dir / "PLAN");
}

TEST(SaveAs, NothingForAFileThatIsNoPipeDreamDocumentAndCancelWritesNothing) {
    Window win;
    win.Load(win.File("plain.txt", "just words here\n"));
    win.w->mnuSaveAs_Click(0);
    win.w->mnuSaveAs_Click(3);
    EXPECT_TRUE(win.dialog.shown.empty());

    win.Load(win.File("doc.pd", "%CO:A,8,0%x\n"));
    win.dialog.answers = {std::nullopt};
    win.w->mnuSaveAs_Click(2);
    EXPECT_EQ(win.dialog.shown.size(), 1u);
    EXPECT_TRUE(win.fp.msg.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(win.dir / "doc.htm"));
}

TEST(SaveAs, NeverOverTheDocumentOnShow) {
    // The name proposed for "report.txt" is "report": with the Text entry
    // the dialog adds ".txt" and names the document itself.
    const struct {
        const char* what;
        const char* chosen;  // in the document's folder, the current one
        const char* link;    // "" or "hard" or "soft": `chosen` made a link to the document
    } cases[] = {
        {"the same name", "report.txt", ""},
        {"another spelling", "./sub/../report.txt", ""},
        {"a hard link", "other.txt", "hard"},
        {"a symbolic link", "other.txt", "soft"},
    };
    for (const auto& c : cases) {
        for (int entry = 0; entry < 4; ++entry) {
            Window win;
            const std::string bytes = "%OP%DEReport\n%CO:A,8,0%%H2%Total%H2%\n";
            std::string doc = win.File("report.txt", bytes);
            std::filesystem::create_directory(win.dir / "sub");
            std::string chosen = win.dir / c.chosen;
            if (std::string(c.link) == "hard") std::filesystem::create_hard_link(doc, chosen);
            if (std::string(c.link) == "soft") std::filesystem::create_symlink(doc, chosen);
            win.Load(doc);
            win.dialog.answers = {chosen};
            win.w->mnuSaveAs_Click(entry);
            EXPECT_EQ(win.fp.msg.Texts(), std::vector<std::string>{SaveOverDocumentText(chosen)}) << c.what << entry;
            EXPECT_EQ(ReadFile(doc), bytes) << c.what << entry;
            EXPECT_EQ(std::filesystem::is_symlink(chosen), std::string(c.link) == "soft") << c.what;
        }
    }
}

TEST(SaveAs, AWritersFailureIsReportedByTheWriter) {
    Window win;
    win.Load(win.File("doc.pd", "%CO:A,8,0%x\n"));
    win.dialog.answers = {win.dir / "no-folder/doc.txt"};
    win.fp.msg.answers = {MsgResult::Abort};
    win.w->mnuSaveAs_Click(1);
    EXPECT_EQ(win.fp.msg.Texts(), std::vector<std::string>{"Error 76 'Path not found' at line 1 in WriteFileTxt"});
}

TEST(SaveAs, WorkbooksFollowTheOtherEntries) {
    Window win;
    win.OpenFileMenu();
    EXPECT_FALSE(win.w->mnuSaveAsOds->isEnabled());
    EXPECT_FALSE(win.w->mnuSaveAsXlsx->isEnabled());
    std::string doc = win.File("MARKS.PD", "%CO:A,8,0%%V%6\n%V%a1*7\n");
    win.Load(doc);
    win.OpenFileMenu();
    EXPECT_TRUE(win.w->mnuSaveAsOds->isEnabled());
    EXPECT_TRUE(win.w->mnuSaveAsXlsx->isEnabled());
    const QList<QAction*> file = win.w->mnuFile->actions();
    EXPECT_EQ(file.indexOf(win.w->mnuSaveAsOds), file.indexOf(win.w->mnuSaveAsCsv) + 1);
    EXPECT_EQ(file.indexOf(win.w->mnuSaveAsXlsx), file.indexOf(win.w->mnuSaveAsCsv) + 2);
    EXPECT_EQ(win.w->mnuSaveAsOds->text(), "Save As &Spreadsheet (ODS)...");
    EXPECT_EQ(win.w->mnuSaveAsXlsx->text(), "Save As Excel &Workbook (XLSX)...");
    const struct {
        int index;
        const char* title;
        const char* filter;
        const char* ext;
        const char* magic;  // the first bytes of the file
    } entries[] = {
        {4, "Save As Spreadsheet (ODS)", "OpenDocument Spreadsheet (*.ods)|*.ods", "ods", "PK\x03\x04"},
        {5, "Save As Excel Workbook (XLSX)", "Excel Workbook (*.xlsx)|*.xlsx", "xlsx", "PK\x03\x04"},
    };
    for (const auto& e : entries) {
        std::string out = win.dir / (std::string("MARKS.") + e.ext);
        win.dialog.answers = {out};
        win.w->mnuSaveAs_Click(e.index);
        const auto& shown = win.dialog.shown.back();
        EXPECT_EQ(shown.title, e.title);
        EXPECT_EQ(shown.filter, e.filter);
        EXPECT_EQ(shown.default_ext, e.ext);
        EXPECT_EQ(shown.file_name, win.dir / "MARKS");
        EXPECT_EQ(ReadFile(out).substr(0, 4), e.magic) << out;
    }
    // The sheet takes the file's name; the ODS starts with its mimetype.
    EXPECT_NE(ReadFile(win.dir / "MARKS.ods").find("mimetypeapplication/vnd.oasis.opendocument.spreadsheet"),
              std::string::npos);
    EXPECT_TRUE(win.fp.msg.shown.empty());
    win.dialog.answers = {win.dir / "no-folder/x.ods"};
    win.w->mnuSaveAs_Click(4);
    EXPECT_EQ(win.fp.msg.Texts(), std::vector<std::string>{"Error 76 'Path not found' in WriteFileOds"});
}

TEST(RecentFiles, LoadingRecordsAndTheEntriesReload) {
    Window win;
    std::string a = win.File("a.pd", "%OP%DEA\n%CO:A,8,0%x\n");
    std::string b = win.File("b.pd", "%OP%DEB\n%CO:A,8,0%x\n");
    win.Load(a);
    win.Load(b);
    EXPECT_TRUE(win.w->mnuFileOld[0]->isVisible());
    EXPECT_EQ(win.w->mnuFileOld[1]->text().toStdString(), "&1 " + b);
    EXPECT_EQ(win.w->mnuFileOld[2]->text().toStdString(), "&2 " + a);
    win.w->mnuFileOld[2]->trigger();
    win.Settle();
    EXPECT_EQ(win.Caption(), "Tarnwick - A");
    EXPECT_EQ(RecentPath(*win.w, 1), a);
    EXPECT_EQ(ReadIniValue(win.fp.process, "InitDir"), win.dir.path() + "/");

    // A one-column text file with spaces is shown but not recorded.
    win.Load(win.File("words.txt", "some words\nmore words\n"));
    EXPECT_EQ(RecentPath(*win.w, 1), a);
    EXPECT_FALSE(win.w->mnuFileListFile->isEnabled());
}

TEST(RecentFiles, TheSettingsFillTheEntriesAtStart) {
    TempDir dir;
    dir.Write("Quillon.ini", "[Quillon]\nFile2=/docs/A.PD\n");
    fake::FakePlatform fp;
    fp.process.program_folder = dir.path();
    fake::FakeDialog dialog;
    ViewerServices services{fp.sys, dialog};
    DocumentModel doc;
    frmQuillon w(services, doc, "");
    EXPECT_TRUE(w.mnuFileOld[0]->isVisible());
    EXPECT_FALSE(w.mnuFileOld[1]->isVisible());
    EXPECT_TRUE(w.mnuFileOld[2]->isVisible());
    EXPECT_EQ(w.mnuFileOld[2]->text().toStdString(), "&2 /docs/A.PD");
}

TEST(ListFiles, Recognition) {
    const struct {
        const char* name;
        std::string bytes;
        bool list;
        std::vector<std::string> entries;
    } cases[] = {
        {"names and an empty line", "a.pd\n\nb.pd\n", true, {" a.pd", " b.pd"}},
        {"blanks around names", "  a.pd  \n", true, {" a.pd"}},
        {"a name with a space", "a.pd\nmy file.pd\n", false, {}},
        {"empty lines only", "\n\n\n", false, {}},
        {"a PipeDream document of single words", "%CO:A,8,0%a.pd\nb.pd\n", false, {}},
        {"option lines", "%OP%DEx\na.pd\n", false, {}},
    };
    for (const auto& c : cases) {
        Window win;
        win.Load(win.File("test.l", c.bytes));
        EXPECT_EQ(win.w->mnuFileListFile->isEnabled(), c.list) << c.name;
        EXPECT_EQ(win.w->VScroll2->isEnabled(), c.list) << c.name;
        if (c.list) {
            EXPECT_EQ(win.ListEntries(), c.entries) << c.name;
            EXPECT_EQ(win.w->List1->currentRow(), 0) << c.name;
            EXPECT_EQ(win.w->ListTag, win.dir / "test.l") << c.name;
            EXPECT_EQ(RecentPath(*win.w, 1), win.dir / "test.l") << c.name;
        } else {
            EXPECT_EQ(RecentPath(*win.w, 1) == win.dir / "test.l", c.bytes[0] == '%') << c.name;
        }
    }
}

TEST(ListFiles, SteppingLoadsEachEntryInTurn) {
    Window win;
    win.File("a.pd", "%OP%DEFirst\n%CO:A,8,0%x\n");
    win.File("b.pd", "%OP%DESecond\n%CO:A,8,0%x\n");
    win.File("c.pd", "%OP%DEThird\n%CO:A,8,0%x\n");
    win.Load(win.File("three.l", "a.pd\nb.pd\nc.pd\n"));
    EXPECT_EQ(win.w->VScroll2->minimum(), 0);
    EXPECT_EQ(win.w->VScroll2->maximum(), 2);
    win.w->VScroll2->setValue(1);
    EXPECT_EQ(win.Caption(), "Tarnwick - Second");
    EXPECT_EQ(win.w->List1->currentRow(), 1);
    win.w->VScroll2->setValue(2);
    EXPECT_EQ(win.Caption(), "Tarnwick - Third");
    // A listed document is not recorded among the recent files.
    EXPECT_EQ(RecentPath(*win.w, 1), win.dir / "three.l");
    // List File brings the list back, with its caption.
    win.w->mnuFileListFile->trigger();
    EXPECT_EQ(win.Caption(), "Tarnwick - " + win.dir / "three.l");
}

TEST(ListFiles, DoubleClickingTheShownEntryReloadsIt) {
    Window win;
    std::string a = win.File("a.pd", "%OP%DEFirst\n%CO:A,8,0%x\n");
    win.Load(win.File("one.l", "a.pd\n"));
    win.w->List1_DblClick();
    ASSERT_EQ(win.Caption(), "Tarnwick - First");
    win.File("a.pd", "%OP%DEChanged\n%CO:A,8,0%x\n");
    win.w->List1_DblClick();
    EXPECT_EQ(win.Caption(), "Tarnwick - Changed");
}

TEST(ListFiles, AMissingListedFileIsReported) {
    Window win;
    win.Load(win.File("gone.l", "missing.pd\n"));
    QTest::keyClick(win.w->List1, Qt::Key_Return);
    win.Settle();
    EXPECT_EQ(win.fp.msg.Texts(), std::vector<std::string>{"File not found:  missing.pd"});
}

TEST(ListFiles, EscapeInTheListQuits) {
    Window win;
    win.Load(win.File("x.l", "a.pd\n"));
    QTest::keyClick(win.w->List1, Qt::Key_Escape);
    EXPECT_FALSE(win.w->isVisible());
}

TEST(FileMenu, SaveAsAndPrintFollowTheDocumentWhenTheMenuOpens) {
    Window win;
    // Before the menu first opens they have their design state.
    EXPECT_TRUE(win.w->mnuFilePrint->isEnabled());
    win.OpenFileMenu();
    for (QAction* a : win.w->mnuSaveAs) EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(win.w->mnuSaveAsCsv->isEnabled());
    EXPECT_FALSE(win.w->mnuFilePrint->isEnabled());
    win.Load(win.File("doc.pd", "%CO:A,8,0%x\n"));
    EXPECT_FALSE(win.w->mnuFilePrint->isEnabled());  // only the menu's opening sets it
    win.OpenFileMenu();
    EXPECT_TRUE(win.w->mnuFilePrint->isEnabled());
    EXPECT_TRUE(win.w->mnuSaveAsCsv->isEnabled());
    win.Load(win.File("plain.txt", "a few words\n"));
    win.OpenFileMenu();
    EXPECT_FALSE(win.w->mnuSaveAs[1]->isEnabled());
    EXPECT_FALSE(win.w->mnuSaveAsCsv->isEnabled());
    EXPECT_TRUE(win.w->mnuFileOpen->isEnabled());
}

TEST(FileMenu, CtrlPRightAfterStartUpReachesPrint) {
    Window win;
    win.w->activateWindow();
    win.dialog.answers = {std::nullopt};
    QTest::keyClick(win.w.get(), Qt::Key_P, Qt::ControlModifier);
    win.Settle();
    ASSERT_EQ(win.dialog.shown.size(), 1u);
    EXPECT_EQ(win.dialog.shown[0].kind, "print");
    EXPECT_EQ(win.dialog.shown[0].flags, 0x10000C);
    EXPECT_TRUE(win.fp.msg.shown.empty());  // cancelled: no message
}

// Printing to a file proposes the document's name, and the job carries
// the document's title, or its file name when it has none.
TEST(FileMenu, PrintNamesTheDocument) {
    const struct {
        const char* file;
        const char* doc;
        const char* title;
    } cases[] = {
        {"report.pd", "%OP%DEQuarterly figures\n%CO:A,8,0%x\n", "Quarterly figures"},
        {"notes.v2.pd", "%CO:A,8,0%x\n", "notes.v2.pd"},
    };
    for (const auto& c : cases) {
        Window win;
        std::string path = win.File(c.file, c.doc);
        win.Load(path);
        win.dialog.answers = {std::nullopt};
        win.w->mnuFilePrint_Click();
        ASSERT_EQ(win.dialog.shown.size(), 1u) << c.file;
        EXPECT_EQ(win.dialog.PrintPath, path) << c.file;
        EXPECT_EQ(win.dialog.PrintTitle, c.title) << c.file;
    }
}

TEST(About, FifteenLinesEachEnded) {
    Window win;
    std::string text = win.w->AboutText();
    EXPECT_EQ(text.rfind("Tarnwick\r\nVersion 0.19\r\n6 February 2013\r\n\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 15u);
    win.w->mnuAbout_Click();
    ASSERT_EQ(win.fp.msg.shown.size(), 1u);
    EXPECT_EQ(win.fp.msg.shown[0].text, text);
    EXPECT_EQ(win.fp.msg.shown[0].buttons, MsgButtons::OK);
    EXPECT_EQ(win.fp.msg.shown[0].icon, MsgIcon::None);
}

// An installed copy names its installed documentation, a copy in its
// build folder the source it was built from.
TEST(About, NamesTheDocumentationWhereItRuns) {
    const struct {
        const char* program;  // under the test's folder
        const char* docs;     // made there, or nothing
        bool installed;
    } cases[] = {
        {"usr/bin", "usr/share/doc/tarnwick", true},
        {"bin", "share/doc/tarnwick", true},
        {"usr/bin", nullptr, false},
        {"build", "share/doc/tarnwick", false},
    };
    for (const auto& c : cases) {
        Window win;
        std::string program = win.dir / c.program;
        std::filesystem::create_directories(program);
        if (c.docs) std::filesystem::create_directories(win.dir / c.docs);
        win.fp.process.program_folder = program;
        std::string text = win.w->AboutText();
        bool names_docs = c.docs && text.find("\r\n" + win.dir / c.docs + "\r\n") != std::string::npos;
        EXPECT_EQ(names_docs, c.installed) << c.program << "\n" << text;
        EXPECT_EQ(text.find(TARNWICK_SOURCE_DIR) == std::string::npos, c.installed) << c.program;
    }
}

}  // namespace
}  // namespace tw

TARNWICK_QT_TEST_MAIN

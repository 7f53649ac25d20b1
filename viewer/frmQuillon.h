// The main window: the page, the two scroll bars, the list of a list file
// and the menus. Its event handlers are split by concern over the files
// of viewer/: layout and scrolling, start-up and loading, list files and
// the menu commands. What the window offers beyond them (find, selection
// and copy, zoom, go to row, drag and drop, the layout switch) are parts
// of their own that it owns, each given only what it needs of the window.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/cell_drawing.h"
#include "document/layouts.h"
#include "document/model.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_canvas.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "viewer/page.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QScrollBar;

namespace tw {

class DropOpener;
class GoToRow;
class LayoutSwitch;
class PageComputing;
class PageFind;
class PageZoom;
class RowSelection;

// What the window is given from outside.
struct ViewerServices {
    Platform& sys;
    CommonDialog& CMDialog1;
};

// picPrintableArea: shows the retained page; nothing draws here on paint.
class PageWidget : public QWidget {
    Q_OBJECT
public:
    explicit PageWidget(QWidget* parent);
    PixmapCanvas canvas;

signals:
    void gotFocus();
    void wheeled(QWheelEvent* e);
    // The mouse on the page, in pixels: a press (with Shift or not) and a
    // move with the button held.
    void pressed(QPoint at, bool extend);
    void dragged(QPoint at);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
};

class frmQuillon : public QMainWindow, public WindowHooks, public RecentMenu {
    Q_OBJECT
public:
    // Creates the window and runs Form_Load. `CommandLine` is the whole
    // command line, handled once the window is shown.
    frmQuillon(ViewerServices& services, DocumentModel& doc, std::string CommandLine);
    ~frmQuillon() override;

    // Shows the window and, from the event loop, the command line's file.
    void Main();

    // Start-up and loading.
    void LoadFile(std::string FileName);
    void lblCheckCommandLine_Change();
    void mnuFileOpen_Click();
    void SaveWindowPlacement();

    // Layout and scrolling. Form_Resize lays the window out at once; a
    // resize of the window asks for it with RequestResize, which runs it
    // from the event loop after the resize has been delivered.
    void Form_Resize();
    void RequestResize();
    // Runs a requested Form_Resize now, where the caller needs the new
    // layout at once (never from within a resize's delivery).
    void FlushResize();
    // List1's columns and grid, from the list's own size.
    void SetListGrid();
    void UpdateScrollBar();
    void VScroll1_Change();
    void VScroll2_Change();
    // Returns false when the row bar must not handle the key itself.
    bool VScroll1_KeyDown(int KeyCode, int Shift);

    // List files.
    bool RecognizeList(const std::string& FileName);
    void List1_DblClick();
    void mnuFileListFile_Click();

    // Menu commands.
    void mnuFile_Click();
    // 0 RTF, 1 text, 2 HTML, 3 CSV.
    void mnuSaveAs_Click(int index);
    void mnuFilePrint_Click();
    void mnuFileOld_Click(int index);
    void mnuFileExit_Click();
    void mnuFont_Click();
    void mnuMaxNumCols_Click();
    void mnuAbout_Click();
    // The text the About box shows.
    std::string AboutText() const;
    // Enables the Edit and View entries for what is on show.
    void EnableEditAndView();

    // The parts: the Edit and View commands beside the page.
    PageFind& Find() { return *find_; }
    RowSelection& Selection() { return *selection_; }
    PageZoom& Zoom() { return *zoom_; }
    GoToRow& GoTo() { return *goTo_; }
    Layout ShownLayout() const;
    PageComputing* Computing() const { return computing_; }

    // WindowHooks
    void SetCaption(const std::string& caption) override;
    void ClearSurface() override;
    // RecentMenu: the captions of mnuFileOld(0) to (4).
    std::string Caption(int index) override;
    void SetCaption(int index, const std::string& caption) override;
    bool Visible(int index) override;
    void SetVisible(int index, bool visible) override;

    // Twips per pixel of the screen.
    double Tpp() const { return tpp_; }
    PixmapCanvas& Surface() { return picPrintableArea->canvas; }

    // The controls and menu entries, by their names.
    QScrollBar* VScroll1;
    QListWidget* List1;
    QScrollBar* VScroll2;
    PageWidget* picPrintableArea;
    QLabel* lblCheckCommandLine;
    QMenu* mnuFile;
    QAction* mnuFileOpen;
    QAction* mnuFileListFile;
    std::array<QAction*, 3> mnuSaveAs;
    QAction* mnuSaveAsCsv;
    // The workbooks, when the program is built with their libraries.
    QAction* mnuSaveAsOds = nullptr;
    QAction* mnuSaveAsXlsx = nullptr;
    QAction* mnuFilePrint;
    std::array<QAction*, 5> mnuFileOld;
    QAction* mnuFileExit;
    QMenu* mnuEdit;
    QAction* mnuEditCopy;
    QAction* mnuEditFind;
    QAction* mnuEditFindNext;
    QAction* mnuEditFindPrevious;
    QAction* mnuEditGoToRow;
    QMenu* mnuView;
    QAction* mnuViewZoomIn;
    QAction* mnuViewZoomOut;
    QAction* mnuViewActualSize;
    QAction* mnuViewPipeDreamLayout;
    QMenu* mnuSettings;
    QAction* mnuFont;
    QAction* mnuMaxNumCols;
    QAction* mnuAbout;

    // Program-wide state owned by the window.
    ScriptFlags Scripts;  // InSubscript, InSuperscript
    std::int16_t PrintPageLength = 0;
    std::string CrLf;
    WindowPlacement Placement;
    std::string ListTag;  // List1's tag: the list file's name

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void createControls();
    void createActions();
    void createMenus();
    void createParts();
    void Form_Load();
    void LayOut();  // the body of Form_Resize
    void Form_QueryUnload();
    void MoveOntoAScreen();
    void GiveFocusToVScroll1();
    // The document on show changed: its shown cells are made afresh.
    void DocumentChanged(const std::string& path);
    ScreenMetrics Screen() const;
    // Fits the row bar to the page's rows again, `row` staying on show.
    void RefitKeepingRow(int row);
    // Redraws the page without moving: the found text stays marked.
    void RedrawInPlace();
    bool ListInFront() const;

    ViewerServices& services_;
    Platform& sys_;
    DocumentModel& doc_;
    std::string CommandLine_;
    // The folder the program was started from: a name on the command line
    // is taken relative to it, whatever folder the settings make current.
    std::string StartFolder_;
    double tpp_ = 15;
    bool resizeQueued_ = false;  // a queued Form_Resize is on its way
    bool inResize_ = false;      // Form_Resize is running
    bool resizeAgain_ = false;   // a resize came while it ran
    QWidget* client_;
    bool closing_ = false;
    bool inPlace_ = false;  // the page is redrawn where it is
    // Tops of the rows of the last redraw, in twips.
    std::vector<double> rowTops_;

    // The parts, made once the controls and menus are there.
    std::unique_ptr<LayoutSwitch> layouts_;
    std::unique_ptr<PageFind> find_;
    std::unique_ptr<RowSelection> selection_;
    std::unique_ptr<PageZoom> zoom_;
    std::unique_ptr<GoToRow> goTo_;
    PageComputing* computing_ = nullptr;  // a child of the page
    DropOpener* drops_ = nullptr;         // a child of the window
};

}  // namespace tw

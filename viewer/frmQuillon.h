// The main window: the page, the two scroll bars, the list of a list file
// and the menus. Its event handlers are split by concern over the files
// of viewer/: layout and scrolling, start-up and loading, list files and
// the menu commands.
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
#include "viewer/search.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QMimeData;
class QScrollBar;

namespace tw {

class FindBar;
class PageComputing;

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
    // Switches between the plain and the PipeDream layout, remembers the
    // choice and redraws the page from the row on show.
    void mnuViewPipeDreamLayout_Click();
    Layout ShownLayout() const { return layout_; }
    // The cells of the document on show, as the layout on show shows them.
    const ShownCells& Shown();
    // Fresh cells in the layout on show, for one print or save.
    std::unique_ptr<ShownCells> CellsNow() const;
    // The text the About box shows.
    std::string AboutText() const;

    // Edit and View: copy, find, go to a row, zoom.
    void mnuEditCopy_Click();
    void mnuEditFind_Click();
    void mnuEditFindNext_Click() { FindAgain(true); }
    void mnuEditFindPrevious_Click() { FindAgain(false); }
    void mnuEditGoToRow_Click();
    void mnuViewZoomIn_Click() { StepZoom(+1); }
    void mnuViewZoomOut_Click() { StepZoom(-1); }
    void mnuViewActualSize_Click();
    // Enables the Edit and View entries for what is on show.
    void EnableEditAndView();
    // What Copy puts on the clipboard: the selected rows, or the rows on
    // show when none are.
    QMimeData* CopiedRows();
    // Rows selected with the mouse; none when last < first.
    int SelectedFirst() const { return marks_.selected_first; }
    int SelectedLast() const { return marks_.selected_last; }
    // The found text marked on the page, if any.
    std::optional<FoundText> Found() const { return found_; }
    double Zoom() const;
    FindBar* Finder() const { return findBar_; }
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
    // A document dropped on the window opens as File > Open would open it.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void createControls();
    void createActions();
    void createMenus();
    void Form_Load();
    void LayOut();  // the body of Form_Resize
    void Form_QueryUnload();
    void MoveOntoAScreen();
    void GiveFocusToVScroll1();
    // The document on show changed: its shown cells are made afresh.
    void DocumentChanged(const std::string& path);
    ScreenMetrics Screen() const;

    // Find (find.cpp).
    void createFindBar();
    void FindAgain(bool forward);
    void ShowFound(const FoundText& m);
    void SetFindBarVisible(bool visible);
    // Selection and copy (selection.cpp).
    void Page_Pressed(QPoint at, bool extend);
    void Page_Dragged(QPoint at);
    int RowAt(QPoint at) const;
    void ForgetSelection();
    // Zoom (zoom.cpp).
    void StepZoom(int steps);
    void SetZoom(double zoom);
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

    FindBar* findBar_ = nullptr;
    PageComputing* computing_ = nullptr;
    // The found text is marked until the page next moves.
    std::optional<FoundText> found_;
    bool keepFound_ = false;
    PageMarks marks_;
    int selectionAnchor_ = 0;
    // Tops of the rows of the last redraw, in twips.
    std::vector<double> rowTops_;
    Layout layout_ = Layout::Plain;
    std::unique_ptr<ShownCells> shown_;  // made when first asked for
    std::string shown_path_;             // the document's file, for "@L@"
};

}  // namespace tw

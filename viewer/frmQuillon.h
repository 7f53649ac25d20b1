// The main window: the page, the two scroll bars, the list of a list file
// and the menus. Its event handlers are split by concern over the files
// of viewer/: layout and scrolling, start-up and loading, list files and
// the menu commands.
#pragma once

#include <QMainWindow>
#include <array>
#include <string>

#include "document/cell_drawing.h"
#include "document/model.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_canvas.h"
#include "platform/services.h"
#include "settings/settings.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QScrollBar;

namespace tw {

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

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
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

    // Layout and scrolling.
    void Form_Resize();
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
    void mnuSaveAs_Click(int index);
    void mnuFilePrint_Click();
    void mnuFileOld_Click(int index);
    void mnuFileExit_Click();
    void mnuFont_Click();
    void mnuMaxNumCols_Click();
    void mnuAbout_Click();
    // The text the About box shows.
    std::string AboutText() const;

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
    QAction* mnuFilePrint;
    std::array<QAction*, 5> mnuFileOld;
    QAction* mnuFileExit;
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
    void Form_Load();
    void Form_QueryUnload();
    void MoveOntoAScreen();
    void GiveFocusToVScroll1();
    ScreenMetrics Screen() const;

    ViewerServices& services_;
    Platform& sys_;
    DocumentModel& doc_;
    std::string CommandLine_;
    double tpp_ = 15;
    QWidget* client_;
    bool closing_ = false;
};

}  // namespace tw

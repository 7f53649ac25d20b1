#include "viewer/frmQuillon.h"

#include "viewer/computing.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include "document/reader.h"
#include "platform/qt/qt_metrics.h"
#include "platform/qt/qt_services.h"
#include "viewer/desktop.h"
#include "viewer/find.h"
#include "viewer/find_bar.h"
#include "viewer/go_to_row.h"
#include "viewer/layout_switch.h"
#include "viewer/selection.h"
#include "viewer/zoom.h"

namespace tw {

PageWidget::PageWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Selected rows: the selection colour, a third of it over the page, so
    // the text on it reads as well as elsewhere.
    QColor base = palette().color(QPalette::Base), mark = palette().color(QPalette::Highlight);
    auto mix = [](double b, double m) { return b * 2 / 3 + m / 3; };
    QColor selected = QColor::fromRgbF(static_cast<float>(mix(base.redF(), mark.redF())),
                                       static_cast<float>(mix(base.greenF(), mark.greenF())),
                                       static_cast<float>(mix(base.blueF(), mark.blueF())));
    canvas.SetColors(base, palette().color(QPalette::Text), selected);
}

void PageWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, canvas.Pixmap());
}

void PageWidget::resizeEvent(QResizeEvent*) { canvas.Resize(width(), height(), devicePixelRatioF()); }

void PageWidget::focusInEvent(QFocusEvent*) { emit gotFocus(); }

void PageWidget::wheelEvent(QWheelEvent* e) { emit wheeled(e); }

void PageWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit pressed(e->position().toPoint(), e->modifiers() & Qt::ShiftModifier);
    QWidget::mousePressEvent(e);
}

void PageWidget::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) emit dragged(e->position().toPoint());
}

frmQuillon::frmQuillon(ViewerServices& services, DocumentModel& doc, std::string CommandLine)
    : services_(services), sys_(services.sys), doc_(doc), CommandLine_(std::move(CommandLine)) {
    tpp_ = ScreenTwipsPerPixel();
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(AppIcon());
    // A document dropped on the window opens as File > Open would open it.
    drops_ = new DropOpener(this, [this](const std::string& name) { LoadFile(name); });
    StartFolder_ = sys_.process.CurrentFolder();
    // The window places its own controls; an animated layout would keep
    // objects of its own alive across the events Form_Resize lets run.
    setAnimated(false);
    createControls();
    createActions();
    createMenus();
    createParts();
    EnableEditAndView();
    Form_Load();
}

frmQuillon::~frmQuillon() = default;

void frmQuillon::createControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    VScroll1 = new QScrollBar(Qt::Vertical, client_);
    VScroll1->setObjectName("VScroll1");
    VScroll1->setRange(1, 1);
    VScroll1->setValue(1);
    VScroll1->setSingleStep(1);
    VScroll1->setTracking(false);  // a thumb drag moves the page when released
    VScroll1->setFocusPolicy(Qt::StrongFocus);
    VScroll1->installEventFilter(this);
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });

    List1 = new QListWidget(client_);
    List1->setObjectName("List1");
    List1->setViewMode(QListView::ListMode);
    List1->setFlow(QListView::TopToBottom);
    List1->setWrapping(true);
    List1->setResizeMode(QListView::Adjust);
    List1->setUniformItemSizes(true);
    List1->setFont(QFont(QStringLiteral("Fixedsys"), 11));
    List1->installEventFilter(this);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });

    VScroll2 = new QScrollBar(Qt::Vertical, client_);
    VScroll2->setObjectName("VScroll2");
    VScroll2->setRange(0, 0);
    VScroll2->setSingleStep(1);
    VScroll2->setPageStep(1);
    VScroll2->setEnabled(false);
    VScroll2->setFocusPolicy(Qt::NoFocus);
    connect(VScroll2, &QScrollBar::valueChanged, this, [this] { VScroll2_Change(); });

    picPrintableArea = new PageWidget(client_);
    picPrintableArea->setObjectName("picPrintableArea");
    connect(picPrintableArea, &PageWidget::gotFocus, this, [this] { GiveFocusToVScroll1(); });
    connect(picPrintableArea, &PageWidget::wheeled, this,
            [this](QWheelEvent* e) { QCoreApplication::sendEvent(VScroll1, e); });

    lblCheckCommandLine = new QLabel(QStringLiteral("0"), client_);
    lblCheckCommandLine->setObjectName("lblCheckCommandLine");
    QFont small(QStringLiteral("MS Sans Serif"), 8);
    small.setBold(true);
    lblCheckCommandLine->setFont(small);
    lblCheckCommandLine->hide();

    // Tab order, then the stacking: the list behind, the row bar in front
    // of the document bar.
    setTabOrder(VScroll1, List1);
    setTabOrder(List1, VScroll2);
    setTabOrder(VScroll2, picPrintableArea);
    List1->lower();
    VScroll1->raise();
}

void frmQuillon::createActions() {
    auto action = [this](const char* caption, const char* shortcut, auto slot) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        if (shortcut) a->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    mnuFileOpen = action("&Open...", "Ctrl+O", [this] { mnuFileOpen_Click(); });
    mnuFileListFile = action("&List File", "Ctrl+L", [this] { mnuFileListFile_Click(); });
    mnuFileListFile->setEnabled(false);
    const char* saveCaptions[3] = {"Save As &RTF...", "Save As &Text...", "Save As &HTML..."};
    const char* saveKeys[3] = {"Ctrl+R", "Ctrl+T", "Ctrl+H"};
    for (int i = 0; i < 3; ++i) mnuSaveAs[i] = action(saveCaptions[i], saveKeys[i], [this, i] { mnuSaveAs_Click(i); });
    // Enabled for PipeDream documents only, like the three above.
    mnuSaveAsCsv = action("Save As &CSV...", nullptr, [this] { mnuSaveAs_Click(3); });
    // "x" is Exit's key in this menu: the workbook takes "w".
    mnuSaveAsOds = action("Save As &Spreadsheet (ODS)...", nullptr, [this] { mnuSaveAs_Click(4); });
    mnuSaveAsXlsx = action("Save As Excel &Workbook (XLSX)...", nullptr, [this] { mnuSaveAs_Click(5); });
    mnuFilePrint = action("&Print...", "Ctrl+P", [this] { mnuFilePrint_Click(); });
    for (int i = 0; i < 5; ++i) {
        if (i == 0) {
            // mnuFileOld(0) is the separator above the recent files.
            mnuFileOld[i] = new QAction(this);
            mnuFileOld[i]->setSeparator(true);
        } else {
            mnuFileOld[i] = action("", nullptr, [this, i] { mnuFileOld_Click(i); });
            SetCaption(i, "&" + std::to_string(i));
        }
        mnuFileOld[i]->setVisible(false);
    }
    mnuFileExit = action("E&xit", "Ctrl+X", [this] { mnuFileExit_Click(); });
    // Ctrl+Q as well, as on every Linux desktop.
    mnuFileExit->setShortcuts({QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Ctrl+Q"))});
    // The Edit and View entries are the parts' commands.
    mnuEditCopy = action("&Copy", "Ctrl+C", [this] { selection_->Copy(); });
    mnuEditFind = action("&Find...", "Ctrl+F", [this] { find_->Open(); });
    mnuEditFindNext = action("Find &Next", "F3", [this] { find_->Next(); });
    mnuEditFindPrevious = action("Find &Previous", "Shift+F3", [this] { find_->Previous(); });
    mnuEditGoToRow = action("&Go to Row...", "Ctrl+G", [this] { goTo_->Ask(); });
    mnuViewZoomIn = action("Zoom &In", "Ctrl++", [this] { zoom_->In(); });
    mnuViewZoomIn->setShortcuts({QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))});
    mnuViewZoomOut = action("Zoom &Out", "Ctrl+-", [this] { zoom_->Out(); });
    mnuViewActualSize = action("&Actual Size", "Ctrl+0", [this] { zoom_->ActualSize(); });
    mnuFont = action("F&ont", nullptr, [this] { mnuFont_Click(); });
    mnuMaxNumCols = action("Max Number of Columns", nullptr, [this] { mnuMaxNumCols_Click(); });
    mnuMaxNumCols->setVisible(false);
    mnuAbout = action("&About", nullptr, [this] { mnuAbout_Click(); });
    // Ctrl+Shift+L: the row bar lets every Ctrl+Shift key pass unused, and
    // no other entry takes it ("L" for layout; Ctrl+L is the list file).
    mnuViewPipeDreamLayout = action("&PipeDream Layout", "Ctrl+Shift+L", [this] { layouts_->Switch(); });
    mnuViewPipeDreamLayout->setCheckable(true);
}

void frmQuillon::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->addAction(mnuFileOpen);
    mnuFile->addAction(mnuFileListFile);
    mnuFile->addSeparator();
    for (QAction* a : mnuSaveAs) mnuFile->addAction(a);
    mnuFile->addAction(mnuSaveAsCsv);
    for (QAction* a : {mnuSaveAsOds, mnuSaveAsXlsx}) {
        if (a) mnuFile->addAction(a);
    }
    mnuFile->addSeparator();
    mnuFile->addAction(mnuFilePrint);
    for (QAction* a : mnuFileOld) mnuFile->addAction(a);
    mnuFile->addSeparator();
    mnuFile->addAction(mnuFileExit);
    connect(mnuFile, &QMenu::aboutToShow, this, [this] { mnuFile_Click(); });

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->addAction(mnuEditCopy);
    mnuEdit->addSeparator();
    mnuEdit->addAction(mnuEditFind);
    mnuEdit->addAction(mnuEditFindNext);
    mnuEdit->addAction(mnuEditFindPrevious);
    mnuEdit->addSeparator();
    mnuEdit->addAction(mnuEditGoToRow);
    connect(mnuEdit, &QMenu::aboutToShow, this, [this] { EnableEditAndView(); });

    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->addAction(mnuViewZoomIn);
    mnuView->addAction(mnuViewZoomOut);
    mnuView->addAction(mnuViewActualSize);
    mnuView->addSeparator();
    mnuView->addAction(mnuViewPipeDreamLayout);
    connect(mnuView, &QMenu::aboutToShow, this, [this] { EnableEditAndView(); });

    mnuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    mnuSettings->addAction(mnuFont);
    mnuSettings->addAction(mnuMaxNumCols);
    menuBar()->addAction(mnuAbout);
}

void frmQuillon::createParts() {
    // Each part gets the controls it works on and, of the window, only
    // what it asks for here.
    auto shown = [this]() -> const ShownCells& { return layouts_->Shown(); };
    auto redraw = [this] { RedrawInPlace(); };
    auto focusPage = [this] { GiveFocusToVScroll1(); };
    layouts_ = std::make_unique<LayoutSwitch>(
        sys_, doc_, *mnuViewPipeDreamLayout, [this] { computing_->Stop(); },
        [this] {
            // The same first row, drawn again in the other layout.
            if (doc_.NumRows != 0) VScroll1_Change();
            GiveFocusToVScroll1();
        });
    FindHooks findHooks{[this] { return mnuEditFind->isEnabled(); },
                        shown,
                        redraw,
                        [this] {
                            if (layout()) layout()->activate();
                            FlushResize();
                        },
                        [this](int row) { RefitKeepingRow(row); },
                        focusPage};
    find_ = std::make_unique<PageFind>(this, doc_, *VScroll1, std::move(findHooks));
    addToolBar(Qt::BottomToolBarArea, find_->Bar());
    find_->Bar()->hide();
    computing_ = new PageComputing(
        picPrintableArea, [this] { return layouts_->ShownIfMade(); }, redraw);
    selection_ =
        std::make_unique<RowSelection>(sys_, doc_, *VScroll1, Surface(), rowTops_,
                                       SelectionHooks{[this] { return mnuEditCopy->isEnabled(); }, shown, redraw});
    connect(picPrintableArea, &PageWidget::pressed, this,
            [this](QPoint at, bool extend) { selection_->Press(at, extend); });
    connect(picPrintableArea, &PageWidget::dragged, this, [this](QPoint at) { selection_->Drag(at); });
    zoom_ = std::make_unique<PageZoom>(Surface(), [this] {
        RefitKeepingRow(VScroll1->value());
        EnableEditAndView();
    });
    goTo_ = std::make_unique<GoToRow>(
        sys_.input, doc_, *VScroll1, [this] { return mnuEditGoToRow->isEnabled(); }, focusPage);
}

Layout frmQuillon::ShownLayout() const { return layouts_->Current(); }

void frmQuillon::SetCaption(const std::string& caption) {
    setWindowTitle(DisplayText(caption));
    // Every load sets the caption: what was selected or found belonged to
    // the document before.
    selection_->Forget();
    find_->Forget();
}

void frmQuillon::EnableEditAndView() {
    bool page = doc_.NumRows > 0 && !ListInFront();
    for (QAction* a : {mnuEditCopy, mnuEditFind, mnuEditFindNext, mnuEditFindPrevious, mnuEditGoToRow}) {
        a->setEnabled(page);
    }
    const double zoom = zoom_->Factor();
    mnuViewZoomIn->setEnabled(zoom < kZoomSteps.back());
    mnuViewZoomOut->setEnabled(zoom > kZoomSteps.front());
    mnuViewActualSize->setEnabled(zoom != 1.0);
}

bool frmQuillon::ListInFront() const {
    // Siblings are listed in stacking order, the front one last.
    const QObjectList& stack = client_->children();
    return stack.indexOf(List1) > stack.indexOf(picPrintableArea);
}

void frmQuillon::ClearSurface() {
    Surface().Cls();
    picPrintableArea->update();
}

std::string frmQuillon::Caption(int index) {
    if (index == 0) return "-";
    return mnuFileOld[static_cast<std::size_t>(index)]->data().toByteArray().toStdString();
}

void frmQuillon::SetCaption(int index, const std::string& caption) {
    if (index == 0) return;
    QAction* a = mnuFileOld[static_cast<std::size_t>(index)];
    a->setData(QByteArray::fromStdString(caption));
    // The access key is the caption's own "&"; one in the path is shown.
    QString shown = DisplayText(caption);
    if (shown.size() > 2) shown = shown.left(3) + shown.mid(3).replace(QLatin1Char('&'), QStringLiteral("&&"));
    a->setText(shown);
}

bool frmQuillon::Visible(int index) { return mnuFileOld[static_cast<std::size_t>(index)]->isVisible(); }

void frmQuillon::SetVisible(int index, bool visible) {
    mnuFileOld[static_cast<std::size_t>(index)]->setVisible(visible);
}

void frmQuillon::GiveFocusToVScroll1() {
    if (VScroll1->isVisible()) VScroll1->setFocus();
}

ScreenMetrics frmQuillon::Screen() const {
    ScreenMetrics m;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        m.width = s->geometry().width() * tpp_;
        m.height = s->geometry().height() * tpp_;
    }
    m.px = m.py = tpp_;
    return m;
}

}  // namespace tw

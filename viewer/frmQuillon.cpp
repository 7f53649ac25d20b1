#include "viewer/frmQuillon.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include "document/reader.h"
#include "platform/qt/qt_services.h"

namespace tw {

PageWidget::PageWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas.SetColors(palette().color(QPalette::Base), palette().color(QPalette::Text));
}

void PageWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, canvas.Pixmap());
}

void PageWidget::resizeEvent(QResizeEvent*) { canvas.Resize(width(), height(), devicePixelRatioF()); }

void PageWidget::focusInEvent(QFocusEvent*) { emit gotFocus(); }

void PageWidget::wheelEvent(QWheelEvent* e) { emit wheeled(e); }

frmQuillon::frmQuillon(ViewerServices& services, DocumentModel& doc, std::string CommandLine)
    : services_(services), sys_(services.sys), doc_(doc), CommandLine_(std::move(CommandLine)) {
    QScreen* screen = QGuiApplication::primaryScreen();
    tpp_ = 1440.0 / (screen && screen->logicalDotsPerInchX() > 0 ? screen->logicalDotsPerInchX() : 96.0);
    setWindowTitle(QStringLiteral("Tarnwick"));
    createControls();
    createActions();
    createMenus();
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
    connect(picPrintableArea, &PageWidget::wheeled, this, [this](QWheelEvent* e) {
        QCoreApplication::sendEvent(VScroll1, e);
    });

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
    mnuFilePrint = action("&Print...", "Ctrl+P", [this] { mnuFilePrint_Click(); });
    for (int i = 0; i < 5; ++i) {
        mnuFileOld[i] = action(i == 0 ? "-" : "", nullptr, [this, i] { mnuFileOld_Click(i); });
        if (i == 0) mnuFileOld[i]->setSeparator(true);
        else SetCaption(i, "&" + std::to_string(i));
        mnuFileOld[i]->setVisible(false);
    }
    mnuFileExit = action("E&xit", "Ctrl+X", [this] { mnuFileExit_Click(); });
    mnuFont = action("F&ont", nullptr, [this] { mnuFont_Click(); });
    mnuMaxNumCols = action("Max Number of Columns", nullptr, [this] { mnuMaxNumCols_Click(); });
    mnuMaxNumCols->setVisible(false);
    mnuAbout = action("&About", nullptr, [this] { mnuAbout_Click(); });
}

void frmQuillon::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->addAction(mnuFileOpen);
    mnuFile->addAction(mnuFileListFile);
    mnuFile->addSeparator();
    for (QAction* a : mnuSaveAs) mnuFile->addAction(a);
    mnuFile->addSeparator();
    mnuFile->addAction(mnuFilePrint);
    for (QAction* a : mnuFileOld) mnuFile->addAction(a);
    mnuFile->addSeparator();
    mnuFile->addAction(mnuFileExit);
    connect(mnuFile, &QMenu::aboutToShow, this, [this] { mnuFile_Click(); });

    mnuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    mnuSettings->addAction(mnuFont);
    mnuSettings->addAction(mnuMaxNumCols);
    menuBar()->addAction(mnuAbout);
}

void frmQuillon::SetCaption(const std::string& caption) { setWindowTitle(DisplayText(caption)); }

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

// The window on a desktop: file:// names, dropped files, the icon, Qt's
// own translations and the menu font. Offscreen platform.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QMenu>
#include <QMimeData>
#include <QTranslator>
#include <QUrl>
#include <QWindow>

#include "settings/recent.h"
#include "viewer/desktop.h"
#include "window_support.h"

namespace tw {
namespace {

using test::TempDir;
using test::Window;

// A file:// URI with every byte outside the unreserved set escaped, as a
// file manager writes it.
std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

const std::string kDocument = "%OP%DEFrom outside\n%CO:A,8,0%x\n";

TEST(Desktop, AFileUriOnTheCommandLineOpensItsPath) {
    struct Case {
        const char* name;    // the file's name, bytes
        bool via_localhost;  // file://localhost/... rather than file:///...
    };
    const Case cases[] = {
        {"plain.pd", false},           {"with blanks.pd", false},
        {"caf\xE9 latin1.pd", false},  // not UTF-8: the bytes must survive
        {"caf\xC3\xA9 utf8.pd", true}, {"100% #1 [a].pd", false},
    };
    for (const Case& c : cases) {
        TempDir docs;
        std::string path = docs.Write(c.name, kDocument);
        std::string uri = FileUri(path);
        if (c.via_localhost) uri.insert(7, "localhost");
        Window win("", "  " + uri + "  ");
        EXPECT_EQ(win.Caption(), "Tarnwick - From outside") << uri;
        EXPECT_EQ(RecentPath(*win.w, 1), path) << uri;
        EXPECT_TRUE(win.fp.msg.shown.empty()) << uri;
    }
}

TEST(Desktop, AFileUriNamingAMissingFileIsReportedByItsPath) {
    TempDir docs;
    std::string path = docs / "gone here.pd";
    Window win("", FileUri(path));
    ASSERT_EQ(win.fp.msg.shown.size(), 1u);
    EXPECT_NE(win.fp.msg.shown[0].text.find("File not found: " + path), std::string::npos) << win.fp.msg.shown[0].text;
}

// Drags `data` over the page and drops it, through the window as the
// platform delivers a drag. Returns whether the window took the drag.
bool DragAndDrop(Window& win, QMimeData& data) {
    frmQuillon& w = *win.w;
    QWindow* handle = w.windowHandle();
    EXPECT_NE(handle, nullptr);
    QPoint at = w.picPrintableArea->mapTo(&w, w.picPrintableArea->rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    bool taken = move.isAccepted();
    if (taken) {
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &drop);
    }
    win.Settle();
    return taken;
}

TEST(Desktop, ADroppedFileOpensAsFileOpenWould) {
    Window win;
    frmQuillon& w = *win.w;
    std::string doc = win.File("dropped doc.pd", "%OP%DEDropped\n%CO:A,8,0%one\ntwo\n");
    std::string other = win.File("caf\xE9.pd", "%OP%DESecond\n%CO:A,8,0%x\n");
    win.File("a.pd", "%OP%DEListed\n%CO:A,8,0%x\n");
    std::string list = win.File("docs.l", "a.pd\nb.pd\n");

    QMimeData pd;
    pd.setUrls({QUrl::fromEncoded(QByteArray::fromStdString(FileUri(doc)))});
    ASSERT_TRUE(DragAndDrop(win, pd));
    EXPECT_EQ(win.Caption(), "Tarnwick - Dropped");
    EXPECT_EQ(RecentPath(w, 1), doc);
    EXPECT_EQ(win.doc.NumRows, 2);

    // A list file shows its list, as File > Open shows it.
    QMimeData l;
    l.setUrls({QUrl::fromEncoded(QByteArray::fromStdString(FileUri(list)))});
    ASSERT_TRUE(DragAndDrop(win, l));
    EXPECT_EQ(win.ListEntries(), (std::vector<std::string>{" a.pd", " b.pd"}));
    EXPECT_TRUE(w.mnuFileListFile->isEnabled());
    EXPECT_TRUE(w.VScroll2->isEnabled());
    EXPECT_EQ(RecentPath(w, 1), list);

    // Of several files the first local one opens; a name that is not
    // UTF-8 keeps its bytes.
    QMimeData several;
    several.setUrls({QUrl("https://example.org/remote.pd"),
                     QUrl::fromEncoded(QByteArray::fromStdString(FileUri(other))),
                     QUrl::fromEncoded(QByteArray::fromStdString(FileUri(doc)))});
    ASSERT_TRUE(DragAndDrop(win, several));
    EXPECT_EQ(win.Caption(), "Tarnwick - Second");
    EXPECT_FALSE(w.VScroll2->isEnabled());
    EXPECT_TRUE(win.fp.msg.shown.empty());
}

TEST(Desktop, DragsWithoutALocalFileAreRefused) {
    Window win;
    std::string doc = win.File("d.pd", kDocument);
    win.Load(doc);
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/a.pd")});
    QMimeData text;
    text.setText(QString::fromStdString(doc));
    QMimeData empty;
    for (QMimeData* data : {&remote, &text, &empty}) {
        EXPECT_FALSE(DragAndDrop(win, *data)) << data->formats().join(',').toStdString();
    }
    EXPECT_EQ(win.Caption(), "Tarnwick - From outside");
    EXPECT_TRUE(win.fp.msg.shown.empty());
}

TEST(Desktop, TheWindowHasTheIconInEverySize) {
    Window win;
    QIcon icon = win.w->windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 48, 256}) {
        QPixmap p = icon.pixmap(size, size);
        EXPECT_EQ(p.width(), size);
        // Not a blank square: the page's outline is drawn.
        QImage img = p.toImage();
        EXPECT_NE(img.pixel(size / 2, size / 2), img.pixel(0, 0)) << size;
    }
}

TEST(Desktop, QtsOwnDialogsSpeakTheUsersLanguage) {
    struct Case {
        const char* locale;
        bool shipped;
        const char* cancel;  // the standard button's caption
    };
    const Case cases[] = {
        {"de_DE", true, "Abbrechen"}, {"fr_FR", true, "Annuler"}, {"es_ES", true, "Cancelar"},
        {"en_GB", true, "Cancel"},    {"sw_KE", false, "Cancel"},  // Qt ships no Swahili
    };
    for (const Case& c : cases) {
        QCoreApplication& app = *QCoreApplication::instance();
        EXPECT_EQ(LoadQtTranslations(app, QLocale(QString::fromLatin1(c.locale))), c.shipped) << c.locale;
        QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
        EXPECT_EQ(cancel.toStdString(), c.cancel) << c.locale;
        // Leave the next case a clean slate.
        for (QTranslator* t : app.findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }
}

TEST(Desktop, MenusGetAProportionalFaceWhenTheDefaultIsFixedPitch) {
    QFont before = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    ASSERT_TRUE(QFontInfo(QApplication::font()).fixedPitch()) << "no fixed-pitch face to start from";
    UseProportionalUiFont();
    EXPECT_FALSE(QFontInfo(QApplication::font()).fixedPitch())
        << QFontInfo(QApplication::font()).family().toStdString();
    // A proportional default is left as it is.
    QFont sans(QStringLiteral("DejaVu Sans"), 11);
    QApplication::setFont(sans);
    UseProportionalUiFont();
    EXPECT_EQ(QApplication::font(), sans);
    QApplication::setFont(before);
}

}  // namespace
}  // namespace tw

TARNWICK_QT_TEST_MAIN

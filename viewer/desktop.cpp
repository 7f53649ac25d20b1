#include "viewer/desktop.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QMimeData>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include "platform/file_uri.h"
#include "viewer/frmQuillon.h"

// Resources of a static library are registered by hand, outside any namespace.
static void RegisterIcons() { Q_INIT_RESOURCE(icons); }

namespace tw {

QIcon AppIcon() {
    static bool registered = false;
    if (!registered) {
        RegisterIcons();
        registered = true;
    }
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/tarnwick-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void UseProportionalUiFont() {
    QFont current = QApplication::font();
    if (!QFontInfo(current).fixedPitch()) return;
    QFont sans(QStringLiteral("Sans Serif"), current.pointSize() > 0 ? current.pointSize() : 9);
    sans.setStyleHint(QFont::SansSerif);
    for (const QString& family : {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                  QStringLiteral("Noto Sans"), QStringLiteral("FreeSans")}) {
        if (QFontDatabase::hasFamily(family)) {
            sans.setFamily(family);
            break;
        }
    }
    QApplication::setFont(sans);
}

std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        // The encoded form keeps the bytes of a name that is not UTF-8.
        if (auto path = PathFromFileUri(url.toEncoded().toStdString())) return path;
    }
    return std::nullopt;
}

void frmQuillon::dragEnterEvent(QDragEnterEvent* e) {
    if (DroppedFile(e->mimeData())) e->acceptProposedAction();
}

void frmQuillon::dragMoveEvent(QDragMoveEvent* e) {
    if (DroppedFile(e->mimeData())) e->acceptProposedAction();
}

void frmQuillon::dropEvent(QDropEvent* e) {
    std::optional<std::string> path = DroppedFile(e->mimeData());
    if (!path) return;
    e->acceptProposedAction();
    // Loaded from the event loop: a failure report is modal, and the
    // program the file came from waits until the drop returns.
    QTimer::singleShot(0, this, [this, name = *path] { LoadFile(name); });
}

}  // namespace tw

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
#include <QWidget>

#include "platform/file_uri.h"

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

DropOpener::DropOpener(QWidget* window, std::function<void(const std::string&)> open)
    : QObject(window), open_(std::move(open)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool DropOpener::eventFilter(QObject*, QEvent* e) {
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(e);
        if (DroppedFile(drag->mimeData())) drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(e);
        std::optional<std::string> path = DroppedFile(drop->mimeData());
        if (!path) return true;
        drop->acceptProposedAction();
        // Loaded from the event loop: a failure report is modal, and the
        // program the file came from waits until the drop returns.
        QTimer::singleShot(0, this, [this, name = *path] { open_(name); });
        return true;
    }
    default: return false;
    }
}

}  // namespace tw

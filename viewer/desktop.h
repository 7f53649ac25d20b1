// The viewer at home on a Linux desktop: its icon, Qt's own translations,
// a readable menu font and the documents dropped on the window.
#pragma once

#include <QIcon>
#include <QLocale>
#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QCoreApplication;
class QMimeData;

namespace tw {

// Tarnwick's icon, from the program itself, so it shows from the build
// tree too.
QIcon AppIcon();

// Installs Qt's translation of its own dialogs and buttons for `locale`,
// from Qt's translations folder. False when Qt ships none for it.
bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale);

// Gives menus and dialogs a proportional sans face when the default font
// turned out to be a fixed-pitch one (a machine with few fonts).
void UseProportionalUiFont();

// The local file a drag carries: its first file URL, as the bytes of the
// name. Nothing when it carries no local file.
std::optional<std::string> DroppedFile(const QMimeData* data);

// Takes the drags of a local file over `window` and opens the file
// dropped, from the event loop, with `open`: as File > Open would.
class DropOpener : public QObject {
public:
    DropOpener(QWidget* window, std::function<void(const std::string&)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::function<void(const std::string&)> open_;
};

}  // namespace tw

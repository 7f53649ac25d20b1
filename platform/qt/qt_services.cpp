#include "platform/qt/qt_services.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <climits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/install_place.h"
#include "platform/textfile.h"

namespace tw {

namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252; the five bytes it
// leaves undefined map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

QString FromCp1252(std::string_view bytes) {
    QString s;
    s.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = s.data();
    for (unsigned char c : bytes) {
        *out++ = (c >= 0x80 && c <= 0x9F) ? QChar(kCp1252High[c - 0x80]) : QChar(c);
    }
    return s;
}

QString DisplayText(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return decoder.hasError() ? FromCp1252(bytes) : s;
}

std::string ToCp1252(const QString& text) {
    std::string r;
    r.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            r.push_back(static_cast<char>(u));
            continue;
        }
        char out = '?';
        for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
            if (kCp1252High[i] == u) out = static_cast<char>(0x80 + i);
        }
        r.push_back(out);
    }
    return r;
}

MsgResult QtMessageBox::Show(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(QStringLiteral("Tarnwick"));
    box.setText(DisplayText(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MsgButtons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        box.setDefaultButton(QMessageBox::Abort);
        break;
    }
    bool restore = QApplication::overrideCursor() != nullptr;
    if (restore) QApplication::setOverrideCursor(Qt::ArrowCursor);
    int r = box.exec();
    if (restore) QApplication::restoreOverrideCursor();
    switch (r) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Abort: return MsgResult::Abort;
    case QMessageBox::Retry: return MsgResult::Retry;
    case QMessageBox::Ignore: return MsgResult::Ignore;
    default:
        // Closing the box with Escape or its close button: the safest answer.
        if (buttons == MsgButtons::AbortRetryIgnore) return MsgResult::Abort;
        if (buttons == MsgButtons::YesNo) return MsgResult::No;
        return MsgResult::OK;
    }
}

std::string QtInputBox::Ask(const std::string& prompt, const std::string& title, const std::string& proposed) {
    bool ok = false;
    QString answer = QInputDialog::getText(parent_, title.empty() ? QStringLiteral("Tarnwick") : FromCp1252(title),
                                           FromCp1252(prompt), QLineEdit::Normal, FromCp1252(proposed), &ok);
    return ok ? ToCp1252(answer) : std::string();
}

std::string SystemProcess::ProgramFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return CurrentFolder();
    std::string exe(buf, static_cast<std::size_t>(n));
    auto slash = exe.find_last_of('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string SystemProcess::SettingsFolder() {
    ProgramPlace place;
    place.folder = ProgramFolder();
    struct stat st {};
    place.folder_owned = ::stat(place.folder.c_str(), &st) == 0 && st.st_uid == ::geteuid();
    place.folder_writable = ::access(place.folder.c_str(), W_OK) == 0;
    const char* xdg = ::getenv("XDG_CONFIG_HOME");
    place.config_home = xdg ? xdg : "";
    const char* home = ::getenv("HOME");
    if (home && *home) {
        place.home = home;
    } else if (const struct passwd* pw = ::getpwuid(::geteuid())) {
        place.home = pw->pw_dir ? pw->pw_dir : "";
    }
    std::string folder = SettingsFolderFor(place);
    if (folder != place.folder) QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

std::string SystemProcess::CurrentFolder() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

void SystemProcess::ChangeFolder(const std::string& folder) {
    if (folder.empty()) throw VbError(kErrInvalidCall);
    if (::chdir(folder.c_str()) != 0) {
        throw VbError(errno == EACCES ? kErrPermissionDenied : kErrPathNotFound);
    }
}

std::string SystemProcess::LongDate() {
    return ToCp1252(QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat));
}

std::string SystemProcess::DateTimeText() {
    return ToCp1252(QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
}

void QtPointer::SetHourglass(bool busy) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || busy == busy_) return;
    busy_ = busy;
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

}  // namespace tw

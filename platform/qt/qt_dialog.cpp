#include "platform/qt/qt_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QPrintDialog>
#include <QVBoxLayout>

#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_services.h"

namespace tw {

QStringList QtFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        // "*.*" means every file; on Linux names need no dot.
        if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        QString description = parts[i];
        description.replace(QLatin1String("(*.*)"), QStringLiteral("(*)"));
        out << (description.contains(QLatin1Char('(')) ? description : description + " (" + pattern + ")");
    }
    return out;
}

QtCommonDialog::QtCommonDialog(QWidget* parent) : parent_(parent), printer_(QPrinter::HighResolution) {}

bool QtCommonDialog::ShowFile(bool save) {
    QFileDialog dialog(parent_, DialogTitle.empty() ? QString() : DisplayText(DialogTitle));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(QtFilters(Filter));
    dialog.setDirectory(QDir::current());
    if (!DefaultExt.empty()) dialog.setDefaultSuffix(QString::fromStdString(DefaultExt));
    if (!FileName.empty()) dialog.selectFile(QString::fromLocal8Bit(FileName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return Cancelled();
    FileName = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return true;
}

bool QtCommonDialog::ShowOpen() { return ShowFile(false); }
bool QtCommonDialog::ShowSave() { return ShowFile(true); }

bool QtCommonDialog::ShowFont() {
    bool ok = false;
    QFont initial(QString::fromStdString(FontName));
    if (FontSize > 0) initial.setPointSizeF(static_cast<double>(FontSize));
    QFont chosen = QFontDialog::getFont(&ok, initial, parent_);
    if (!ok) return Cancelled();
    FontName = chosen.family().toStdString();
    FontSize = static_cast<float>(chosen.pointSizeF());
    return true;
}

bool QtCommonDialog::ShowPrinter() {
    if (!PrintPath.empty()) {
        // The dialog proposes the job's name, less its extension, plus
        // ".pdf" for a file; a file chosen for another document before
        // gives its folder only.
        QFileInfo document(QFile::decodeName(PrintPath.c_str()));
        printer_.setDocName(document.fileName());
        if (!printer_.outputFileName().isEmpty()) {
            QFileInfo previous(printer_.outputFileName());
            printer_.setOutputFileName(previous.dir().filePath(document.completeBaseName() + ".pdf"));
        }
    }
    QPrintDialog dialog(&printer_, parent_);
    // Keep the choice of printing to a PDF file: without it a machine
    // with no printer could not print at all.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    // Wide rows: a tab of the dialog's own, as the converter's two options.
    auto* wide = new QWidget;
    wide->setWindowTitle(QStringLiteral("Wide rows"));
    auto* landscape = new QCheckBox(QStringLiteral("&Landscape: the paper on its side"), wide);
    auto* fit =
        new QCheckBox(QStringLiteral("&Fit width: print smaller, down to half size, so the widest row fits"), wide);
    landscape->setChecked(PrintLandscape || printer_.pageLayout().orientation() == QPageLayout::Landscape);
    fit->setChecked(PrintFitWidth);
    auto* column = new QVBoxLayout(wide);
    column->addWidget(landscape);
    column->addWidget(fit);
    column->addStretch();
    dialog.setOptionTabs({wide});
    if (dialog.exec() != QDialog::Accepted) return Cancelled();
    PrintLandscape = landscape->isChecked();
    PrintFitWidth = fit->isChecked();
    printer_.setPageOrientation(PrintLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (!PrintTitle.empty()) printer_.setDocName(DisplayText(PrintTitle));
    return true;
}

std::unique_ptr<PrinterCanvas> QtCommonDialog::Printer() { return std::make_unique<QtPrinterCanvas>(printer_); }

}  // namespace tw

// The common dialog on Qt: file, font and print dialogs.
#pragma once

#include <QPrinter>

#include "platform/dialogs.h"

class QWidget;

namespace tw {

class QtCommonDialog : public CommonDialog {
public:
    explicit QtCommonDialog(QWidget* parent = nullptr);
    void SetParent(QWidget* parent) { parent_ = parent; }

    bool ShowOpen() override;
    bool ShowSave() override;
    bool ShowFont() override;
    bool ShowPrinter() override;
    std::unique_ptr<PrinterCanvas> Printer() override;

private:
    bool ShowFile(bool save);
    QWidget* parent_;
    QPrinter printer_;
};

// Qt's name filters from "Description|pattern|..." pairs.
QStringList QtFilters(const std::string& filter);

}  // namespace tw

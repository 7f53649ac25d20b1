// The one common dialog of the main window, used as Open, Save As, Font
// and Print dialog. Its properties stay set from one command to the next.
#pragma once

#include <memory>
#include <string>

#include "platform/canvas.h"

namespace tw {

class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    // "Description|pattern|Description|pattern..."
    std::string Filter;
    std::string FileName;
    std::string DialogTitle;
    std::string DefaultExt;
    long Flags = 0;
    // Cancelling throws VbError 32755 when set, otherwise it returns false.
    bool CancelError = false;
    std::string FontName;
    float FontSize = 0;
    // The document the print dialog prints: printing to a file proposes
    // its name with ".pdf", and the title names the job (a PDF's title).
    std::string PrintPath, PrintTitle;
    // The print dialog's two choices for rows wider than the page: the
    // paper on its side, and printing smaller (to half size at the least)
    // so that the widest row fits.
    bool PrintLandscape = false;
    bool PrintFitWidth = false;

    // Each returns true when the user confirmed; FileName, or FontName and
    // FontSize, then hold the choice.
    virtual bool ShowOpen() = 0;
    virtual bool ShowSave() = 0;
    virtual bool ShowFont() = 0;
    // The print dialog; the printer chosen is then Printer().
    virtual bool ShowPrinter() = 0;
    // A canvas on the printer chosen by the last print dialog.
    virtual std::unique_ptr<PrinterCanvas> Printer() = 0;

protected:
    // Throws the cancel failure when asked to; returns false otherwise.
    bool Cancelled();
};

}  // namespace tw

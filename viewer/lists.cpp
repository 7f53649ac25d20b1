// List files: a file of document names, one a line, shown in List1; the
// document bar VScroll2 steps through them.
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>

#include "document/reader.h"
#include "document/text.h"
#include "platform/qt/qt_services.h"
#include "settings/recent.h"
#include "viewer/frmQuillon.h"

namespace tw {

bool frmQuillon::RecognizeList(const std::string& FileName) {
    List1->clear();
    std::vector<std::string> entries;
    for (int r = 1; r <= doc_.NumRows; ++r) {
        std::string t = Trim(doc_.Cells(1, r));
        if (t.find(' ') != std::string::npos) {
            entries.clear();
            break;
        }
        if (!t.empty()) entries.push_back(" " + t);
    }
    if (entries.empty()) return false;
    for (const std::string& e : entries) {
        auto* item = new QListWidgetItem(DisplayText(e), List1);
        item->setData(Qt::UserRole, QByteArray::fromStdString(e));
    }
    ListTag = FileName;
    List1->raise();
    // The list may not have been laid out with its items yet.
    SetListGrid();
    if (List1->isVisible()) List1->setFocus();
    List1->setCurrentRow(0);
    std::string recorded = FileName;
    FilesOld(sys_, *this, recorded);
    mnuFileListFile->setEnabled(true);
    VScroll2->setEnabled(true);
    {
        // A shorter list would pull the bar's value in and load a document
        // of the new list unasked.
        QSignalBlocker quiet(VScroll2);
        VScroll2->setMaximum(static_cast<int>(entries.size()) - 1);
    }
    EnableEditAndView();
    return true;
}

void frmQuillon::List1_DblClick() {
    List1->lower();
    int selected = List1->currentRow();
    if (VScroll2->value() == selected) VScroll2_Change();
    else VScroll2->setValue(selected);
}

void frmQuillon::mnuFileListFile_Click() {
    SetCaption(std::string(kAppName) + " - " + ListTag);
    List1->raise();
    List1->setFocus();
    EnableEditAndView();
}

}  // namespace tw

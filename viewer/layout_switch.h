// The switch between the plain and the PipeDream layout, and the cells of
// the document on show as the layout on show shows them.
#pragma once

#include <QAction>
#include <functional>
#include <memory>
#include <string>

#include "document/layouts.h"
#include "document/model.h"
#include "platform/services.h"

namespace tw {

class LayoutSwitch {
public:
    // `entry` is the menu entry that shows the choice. `switching` runs as
    // the layout changes, before the cells of the old one go; `switched`
    // once the new choice is remembered.
    LayoutSwitch(Platform& sys, const DocumentModel& doc, QAction& entry, std::function<void()> switching,
                 std::function<void()> switched);

    // The layout chosen last, at start-up.
    void ReadSetting();
    // View > PipeDream Layout: the other layout, remembered.
    void Switch();
    Layout Current() const { return layout_; }

    // The cells of the document on show, made when first asked for.
    const ShownCells& Shown();
    // The same if they are made yet, else null.
    const ShownCells* ShownIfMade() const { return shown_.get(); }
    // Fresh cells in the layout on show, for one print or save.
    std::unique_ptr<ShownCells> CellsNow() const;
    // Another document, from the file `path`: its cells are made afresh.
    void DocumentChanged(const std::string& path);

private:
    Platform& sys_;
    const DocumentModel& doc_;
    QAction& entry_;
    std::function<void()> switching_, switched_;
    Layout layout_ = Layout::Plain;
    std::unique_ptr<ShownCells> shown_;
    std::string shown_path_;  // the document's file, for "@L@"
};

}  // namespace tw

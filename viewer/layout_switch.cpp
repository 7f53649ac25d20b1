#include "viewer/layout_switch.h"

#include "settings/settings.h"

namespace tw {

namespace {

// What the text fields of the PipeDream layout read; list entries keep
// their leading blank.
ShownContext ContextOf(const std::string& path) {
    std::size_t start = path.find_first_not_of(' ');
    return ContextFor(start == std::string::npos ? std::string_view() : std::string_view(path).substr(start));
}

}  // namespace

LayoutSwitch::LayoutSwitch(Platform& sys, const DocumentModel& doc, QAction& entry, std::function<void()> switching,
                           std::function<void()> switched)
    : sys_(sys), doc_(doc), entry_(entry), switching_(std::move(switching)), switched_(std::move(switched)) {}

void LayoutSwitch::ReadSetting() {
    layout_ = ReadLayoutSetting(sys_.process);
    entry_.setChecked(layout_ == Layout::PipeDream);
}

void LayoutSwitch::Switch() {
    layout_ = layout_ == Layout::PipeDream ? Layout::Plain : Layout::PipeDream;
    entry_.setChecked(layout_ == Layout::PipeDream);
    switching_();
    shown_.reset();
    WriteLayoutSetting(sys_, layout_);
    switched_();
}

const ShownCells& LayoutSwitch::Shown() {
    if (!shown_) shown_ = MakeShownCells(doc_, layout_, ContextOf(shown_path_));
    return *shown_;
}

std::unique_ptr<ShownCells> LayoutSwitch::CellsNow() const {
    return MakeShownCells(doc_, layout_, ContextOf(shown_path_));
}

void LayoutSwitch::DocumentChanged(const std::string& path) {
    shown_.reset();
    shown_path_ = path;
}

}  // namespace tw

// The two ways of showing a document: the design's layout, cells as stored,
// and the PipeDream layout, cells as PipeDream laid them out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "document/model.h"
#include "document/shown_text.h"

namespace tw {

enum class Layout { Plain, PipeDream };

// The name a layout has on the command line and in the settings
// ("plain", "pipedream"), and back; nothing for an unknown name.
std::string_view LayoutName(Layout layout);
std::optional<Layout> LayoutFromName(std::string_view name);

// What the PipeDream layout's text fields take from outside the document.
struct ShownContext {
    std::string leaf_name;   // "@L@": the document's file name without its folder
    std::string time;        // "@N@": the time the output is made, as "hh:mm"
    std::int64_t today = 0;  // "@D@" where the layout fills it: the day number, 0 when unknown
};

// The page break a row asks for: the lines that must be left on the page
// for it to stay (0: a new page in any case), or -1 for none.
int RowPageBreak(const DocumentModel& doc, int row);

// The context of a document read from `path`, at the present time.
ShownContext ContextFor(std::string_view path);

// The cells of `doc` as `layout` shows them. The model must outlive them.
std::unique_ptr<ShownCells> MakeShownCells(const DocumentModel& doc, Layout layout, const ShownContext& context = {});

}  // namespace tw

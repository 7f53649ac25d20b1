// Go to Row: asks for a row number and shows that row at the top of the
// page.
#pragma once

#include <functional>

#include "document/model.h"
#include "platform/services.h"

class QScrollBar;

namespace tw {

class GoToRow {
public:
    // `rows` is the row bar; `usable` says whether the command is on
    // offer, `focusPage` gives the keyboard back to the page.
    GoToRow(InputBox& input, const DocumentModel& doc, QScrollBar& rows, std::function<bool()> usable,
            std::function<void()> focusPage);

    // Edit > Go to Row.
    void Ask();

private:
    InputBox& input_;
    const DocumentModel& doc_;
    QScrollBar& rows_;
    std::function<bool()> usable_;
    std::function<void()> focusPage_;
};

}  // namespace tw

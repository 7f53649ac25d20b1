#include "viewer/go_to_row.h"

#include <QScrollBar>
#include <algorithm>

#include "document/numbers.h"

namespace tw {

GoToRow::GoToRow(InputBox& input, const DocumentModel& doc, QScrollBar& rows, std::function<bool()> usable,
                 std::function<void()> focusPage)
    : input_(input), doc_(doc), rows_(rows), usable_(std::move(usable)), focusPage_(std::move(focusPage)) {}

void GoToRow::Ask() {
    if (!usable_()) return;
    const std::string range = "Go to row (1-" + std::to_string(doc_.NumRows) + "):";
    std::string prompt = range;
    std::string proposed = std::to_string(rows_.value());
    for (;;) {
        std::string answer = input_.Ask(prompt, "Go to Row", proposed);
        if (answer.empty()) return;  // cancelled
        if (IsNumeric(answer)) {
            const double wanted = RoundHalfEven(Val(answer));
            const double lo = rows_.minimum();
            const double last = std::max(doc_.NumRows, rows_.minimum());
            const int row = static_cast<int>(std::clamp(wanted, lo, last));
            // The bar stops where the last page is full; a row further on
            // is still brought to the top, the bar reaching past the end
            // for it until the document is next laid out.
            if (row > rows_.maximum()) rows_.setMaximum(row);
            rows_.setValue(row);
            focusPage_();
            return;
        }
        prompt = "\"" + answer + "\" is not a row number. " + range;
        proposed = answer;
    }
}

}  // namespace tw

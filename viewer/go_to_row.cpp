// Go to Row: asks for a row number and shows that row at the top of the
// page.
#include <QScrollBar>
#include <algorithm>

#include "document/numbers.h"
#include "viewer/frmQuillon.h"

namespace tw {

void frmQuillon::mnuEditGoToRow_Click() {
    if (!mnuEditGoToRow->isEnabled()) return;
    const std::string range = "Go to row (1-" + std::to_string(doc_.NumRows) + "):";
    std::string prompt = range;
    std::string proposed = std::to_string(VScroll1->value());
    for (;;) {
        std::string answer = sys_.input.Ask(prompt, "Go to Row", proposed);
        if (answer.empty()) return;  // cancelled
        if (IsNumeric(answer)) {
            const double wanted = RoundHalfEven(Val(answer));
            const double lo = VScroll1->minimum();
            const double last = std::max(doc_.NumRows, VScroll1->minimum());
            const int row = static_cast<int>(std::clamp(wanted, lo, last));
            // The bar stops where the last page is full; a row further on
            // is still brought to the top, the bar reaching past the end
            // for it until the document is next laid out.
            if (row > VScroll1->maximum()) VScroll1->setMaximum(row);
            VScroll1->setValue(row);
            GiveFocusToVScroll1();
            return;
        }
        prompt = "\"" + answer + "\" is not a row number. " + range;
        proposed = answer;
    }
}

}  // namespace tw

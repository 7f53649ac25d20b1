// Go to Row: asks for a row number and shows that row at the top of the
// page, as far as the row bar goes.
#include <QScrollBar>
#include <algorithm>

#include "document/numbers.h"
#include "viewer/frmQuillon.h"

namespace tw {

void frmQuillon::mnuEditGoToRow_Click() {
    if (!mnuEditGoToRow->isEnabled()) return;
    std::string prompt = "Go to row (1-" + std::to_string(doc_.NumRows) + "):";
    std::string proposed = std::to_string(VScroll1->value());
    for (;;) {
        std::string answer = sys_.input.Ask(prompt, "Go to Row", proposed);
        if (answer.empty()) return;  // cancelled
        if (IsNumeric(answer)) {
            double wanted = RoundHalfEven(Val(answer));
            double lo = VScroll1->minimum(), hi = VScroll1->maximum();
            VScroll1->setValue(static_cast<int>(std::clamp(wanted, lo, hi)));
            GiveFocusToVScroll1();
            return;
        }
        proposed = answer;
    }
}

}  // namespace tw

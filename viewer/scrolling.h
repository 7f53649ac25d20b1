// The keyboard of the row scroll bar, apart from the widgets: the keys of
// the page and of the documents of a list.
#pragma once

#include <functional>

namespace tw {

// A scroll bar as the key table sees it. Setting Value runs the bar's
// change handler before SetValue returns.
class ScrollBar {
public:
    virtual ~ScrollBar() = default;
    virtual int Value() const = 0;
    virtual void SetValue(int v) = 0;
    virtual int Min() const = 0;
    virtual int Max() const = 0;
    virtual int SmallChange() const = 0;
    virtual int LargeChange() const = 0;
    virtual bool Enabled() const = 0;
};

// Virtual-key codes the table uses.
enum VirtualKey : int {
    kVkEscape = 27,
    kVkPageUp = 33,
    kVkPageDown = 34,
    kVkEnd = 35,
    kVkHome = 36,
    kVkLeft = 37,
    kVkUp = 38,
    kVkRight = 39,
    kVkDown = 40,
    kVkB = 'B',
    kVkN = 'N',
    kVkP = 'P',
    kVkT = 'T',
    kVkNumpad1 = 97,
    kVkNumpad2 = 98,
    kVkNumpad3 = 99,
    kVkNumpad7 = 103,
    kVkNumpad8 = 104,
    kVkNumpad9 = 105,
};
// Modifier bits of Shift.
enum : int { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

// The key table of the row bar V1 and the document bar V2. Sets KeyCode
// to 0 when the row bar must not handle the key itself. `exit` is the
// File Exit command.
void VScroll1_KeyDown(ScrollBar& V1, ScrollBar& V2, int& KeyCode, int Shift, const std::function<void()>& exit);

}  // namespace tw

#include "viewer/scrolling.h"

namespace tw {

namespace {

// The document bar moves only while a list is loaded: a single document
// shown after a list must not step into that list's documents.
bool StepBack(ScrollBar& V2) {
    if (!V2.Enabled() || V2.Value() - V2.SmallChange() < V2.Min()) return false;
    V2.SetValue(V2.Value() - V2.SmallChange());
    return true;
}

bool StepOn(ScrollBar& V2) {
    if (!V2.Enabled() || V2.SmallChange() + V2.Value() > V2.Max()) return false;
    V2.SetValue(V2.Value() + V2.SmallChange());
    return true;
}

void NoModifier(ScrollBar& V1, ScrollBar& V2, int& KeyCode) {
    switch (KeyCode) {
    case kVkPageUp:
        if (V1.Value() == V1.Min()) {
            StepBack(V2);
            KeyCode = 0;
        }
        break;
    case kVkPageDown:
        if (V1.Value() == V1.Max()) {
            if (StepOn(V2)) V1.SetValue(V1.Min());
            KeyCode = 0;
        }
        break;
    case kVkNumpad1: V1.SetValue(V1.Max()); break;
    case kVkNumpad2:
        if (V1.SmallChange() + V1.Value() <= V1.Max()) V1.SetValue(V1.Value() + V1.SmallChange());
        break;
    case kVkNumpad3:
        if (V1.LargeChange() + V1.Value() <= V1.Max()) {
            V1.SetValue(V1.Value() + V1.LargeChange());
        } else if (V1.Value() == V1.Max()) {
            if (StepOn(V2)) V1.SetValue(V1.Min());
            KeyCode = 0;
        }
        break;
    case kVkNumpad7: V1.SetValue(V1.Min()); break;
    case kVkNumpad8:
        if (V1.Value() - V1.SmallChange() >= V1.Min()) V1.SetValue(V1.Value() - V1.SmallChange());
        break;
    case kVkNumpad9:
        if (V1.Value() - V1.LargeChange() >= V1.Min()) {
            V1.SetValue(V1.Value() - V1.LargeChange());
        } else if (V1.Value() == V1.Min()) {
            StepBack(V2);
            KeyCode = 0;
        }
        break;
    default: break;
    }
}

void WithShift(ScrollBar& V1, int KeyCode) {
    if (KeyCode == kVkUp || KeyCode == kVkNumpad8) {
        if (V1.Value() - V1.LargeChange() >= V1.Min()) V1.SetValue(V1.Value() - V1.LargeChange());
    } else if (KeyCode == kVkDown || KeyCode == kVkNumpad2) {
        if (V1.LargeChange() + V1.Value() <= V1.Max()) V1.SetValue(V1.Value() + V1.LargeChange());
    }
}

void WithCtrl(ScrollBar& V1, ScrollBar& V2, int KeyCode) {
    switch (KeyCode) {
    case kVkT:
    case kVkHome:
    case kVkNumpad7:
        if (V2.Enabled()) V2.SetValue(V2.Min());
        break;
    case kVkP:
    case kVkPageUp:
    case kVkNumpad9: StepBack(V2); break;
    case kVkUp:
    case kVkNumpad8: V1.SetValue(V1.Min()); break;
    case kVkDown:
    case kVkNumpad2: V1.SetValue(V1.Max()); break;
    case kVkN:
    case kVkPageDown:
    case kVkNumpad3: StepOn(V2); break;
    case kVkB:
    case kVkEnd:
    case kVkNumpad1:
        if (V2.Enabled()) V2.SetValue(V2.Max());
        break;
    default: break;
    }
}

}  // namespace

void VScroll1_KeyDown(ScrollBar& V1, ScrollBar& V2, int& KeyCode, int Shift, const std::function<void()>& exit) {
    if (KeyCode == kVkEscape) {
        exit();
        return;
    }
    if (KeyCode == kVkLeft || KeyCode == kVkRight) {
        KeyCode = 0;
        return;
    }
    switch (Shift) {
    case 0: NoModifier(V1, V2, KeyCode); break;
    case kShiftMask:
        WithShift(V1, KeyCode);
        KeyCode = 0;
        break;
    case kCtrlMask:
        WithCtrl(V1, V2, KeyCode);
        KeyCode = 0;
        break;
    default: break;  // other combinations go to the bar unchanged
    }
}

}  // namespace tw

#include <gtest/gtest.h>

#include <string>

#include "viewer/scrolling.h"

namespace tw {
namespace {

// A scroll bar that takes any value it is given, so a missing bound check
// shows as a value past Min or Max.
class FakeBar : public ScrollBar {
public:
    FakeBar(int value, int min, int max, int small, int large, bool enabled = true)
        : value_(value), min_(min), max_(max), small_(small), large_(large), enabled_(enabled) {}
    int Value() const override { return value_; }
    void SetValue(int v) override {
        value_ = v;
        ++sets;
    }
    int Min() const override { return min_; }
    int Max() const override { return max_; }
    int SmallChange() const override { return small_; }
    int LargeChange() const override { return large_; }
    bool Enabled() const override { return enabled_; }
    int sets = 0;

private:
    int value_, min_, max_, small_, large_;
    bool enabled_;
};

constexpr int kNone = 0, kShift = kShiftMask, kCtrl = kCtrlMask, kAlt = kAltMask;
constexpr int kPassed = 1, kKept = 0;  // the key goes on to the row bar, or not

// The row bar runs 1 to 100 with pages of 20 rows; the document bar holds
// a list of six documents, 0 to 5, and shows document 2 unless a row
// says otherwise.
TEST(VScroll1KeyDown, EveryRowOfTheKeyTableAndItsBounds) {
    const struct {
        const char* name;
        int key, shift;
        int v1, v2;
        int want_v1, want_v2, passed;
        bool exits = false;
        bool list = true;  // the document bar is enabled
    } cases[] = {
        {"Escape exits", kVkEscape, kNone, 50, 2, 50, 2, kPassed, true},
        {"Escape with Ctrl exits", kVkEscape, kCtrl, 50, 2, 50, 2, kPassed, true},
        {"Left is swallowed", kVkLeft, kNone, 50, 2, 50, 2, kKept},
        {"Right with Shift is swallowed", kVkRight, kShift, 50, 2, 50, 2, kKept},
        {"Right with Alt is swallowed", kVkRight, kAlt, 50, 2, 50, 2, kKept},

        {"Page Up mid-document pages", kVkPageUp, kNone, 50, 2, 50, 2, kPassed},
        {"Page Up at the top: previous document", kVkPageUp, kNone, 1, 2, 1, 1, kKept},
        {"Page Up at the top of the first document", kVkPageUp, kNone, 1, 0, 1, 0, kKept},
        {"Page Up at the top of the second document: the first", kVkPageUp, kNone, 1, 1, 1, 0, kKept},
        {"Page Down mid-document pages", kVkPageDown, kNone, 50, 2, 50, 2, kPassed},
        {"Page Down at the end: next document from its top", kVkPageDown, kNone, 100, 2, 1, 3, kKept},
        {"Page Down at the end of the last document", kVkPageDown, kNone, 100, 5, 100, 5, kKept},
        {"Page Down at the end of the last but one: the last", kVkPageDown, kNone, 100, 4, 1, 5, kKept},

        {"keypad 1: the end", kVkNumpad1, kNone, 50, 2, 100, 2, kPassed},
        {"keypad 2: a row down", kVkNumpad2, kNone, 50, 2, 51, 2, kPassed},
        {"keypad 2 onto the end", kVkNumpad2, kNone, 99, 2, 100, 2, kPassed},
        {"keypad 2 at the end", kVkNumpad2, kNone, 100, 2, 100, 2, kPassed},
        {"keypad 3: a page down", kVkNumpad3, kNone, 50, 2, 70, 2, kPassed},
        {"keypad 3: a full page onto the end", kVkNumpad3, kNone, 80, 2, 100, 2, kPassed},
        {"keypad 3: less than a page left", kVkNumpad3, kNone, 81, 2, 81, 2, kPassed},
        {"keypad 3 at the end: next document", kVkNumpad3, kNone, 100, 2, 1, 3, kKept},
        {"keypad 3 at the end of the last document", kVkNumpad3, kNone, 100, 5, 100, 5, kKept},
        {"keypad 7: the top", kVkNumpad7, kNone, 50, 2, 1, 2, kPassed},
        {"keypad 8: a row up", kVkNumpad8, kNone, 50, 2, 49, 2, kPassed},
        {"keypad 8 onto the top", kVkNumpad8, kNone, 2, 2, 1, 2, kPassed},
        {"keypad 8 at the top", kVkNumpad8, kNone, 1, 2, 1, 2, kPassed},
        {"keypad 9: a page up", kVkNumpad9, kNone, 50, 2, 30, 2, kPassed},
        {"keypad 9: a full page onto the top", kVkNumpad9, kNone, 21, 2, 1, 2, kPassed},
        {"keypad 9: less than a page left", kVkNumpad9, kNone, 20, 2, 20, 2, kPassed},
        {"keypad 9 at the top: previous document", kVkNumpad9, kNone, 1, 2, 1, 1, kKept},
        {"keypad 9 at the top of the first document", kVkNumpad9, kNone, 1, 0, 1, 0, kKept},
        {"another key goes to the bar", 'A', kNone, 50, 2, 50, 2, kPassed},
        {"Down goes to the bar", kVkDown, kNone, 50, 2, 50, 2, kPassed},

        {"Shift+Up: a page up", kVkUp, kShift, 50, 2, 30, 2, kKept},
        {"Shift+Up: a full page onto the top", kVkUp, kShift, 21, 2, 1, 2, kKept},
        {"Shift+Up: less than a page left", kVkUp, kShift, 20, 2, 20, 2, kKept},
        {"Shift+keypad 8: a page up", kVkNumpad8, kShift, 50, 2, 30, 2, kKept},
        {"Shift+Down: a page down", kVkDown, kShift, 50, 2, 70, 2, kKept},
        {"Shift+Down: a full page onto the end", kVkDown, kShift, 80, 2, 100, 2, kKept},
        {"Shift+Down: less than a page left", kVkDown, kShift, 81, 2, 81, 2, kKept},
        {"Shift+keypad 2: a page down", kVkNumpad2, kShift, 50, 2, 70, 2, kKept},
        {"Shift+another key is swallowed", kVkPageDown, kShift, 100, 2, 100, 2, kKept},

        {"Ctrl+T: first document", kVkT, kCtrl, 50, 2, 50, 0, kKept},
        {"Ctrl+Home: first document", kVkHome, kCtrl, 50, 2, 50, 0, kKept},
        {"Ctrl+keypad 7: first document", kVkNumpad7, kCtrl, 50, 2, 50, 0, kKept},
        {"Ctrl+P: previous document", kVkP, kCtrl, 50, 2, 50, 1, kKept},
        {"Ctrl+Page Up: previous document", kVkPageUp, kCtrl, 50, 2, 50, 1, kKept},
        {"Ctrl+keypad 9: previous document", kVkNumpad9, kCtrl, 50, 2, 50, 1, kKept},
        {"Ctrl+P on the first document", kVkP, kCtrl, 50, 0, 50, 0, kKept},
        {"Ctrl+P on the second document: the first", kVkP, kCtrl, 50, 1, 50, 0, kKept},
        {"Ctrl+Up: top of the document", kVkUp, kCtrl, 50, 2, 1, 2, kKept},
        {"Ctrl+keypad 8: top of the document", kVkNumpad8, kCtrl, 50, 2, 1, 2, kKept},
        {"Ctrl+Down: end of the document", kVkDown, kCtrl, 50, 2, 100, 2, kKept},
        {"Ctrl+keypad 2: end of the document", kVkNumpad2, kCtrl, 50, 2, 100, 2, kKept},
        {"Ctrl+N: next document", kVkN, kCtrl, 50, 2, 50, 3, kKept},
        {"Ctrl+Page Down: next document", kVkPageDown, kCtrl, 50, 2, 50, 3, kKept},
        {"Ctrl+keypad 3: next document", kVkNumpad3, kCtrl, 50, 2, 50, 3, kKept},
        {"Ctrl+N on the last document", kVkN, kCtrl, 50, 5, 50, 5, kKept},
        {"Ctrl+N on the last but one: the last", kVkN, kCtrl, 50, 4, 50, 5, kKept},
        {"Ctrl+B: last document", kVkB, kCtrl, 50, 2, 50, 5, kKept},
        {"Ctrl+End: last document", kVkEnd, kCtrl, 50, 2, 50, 5, kKept},
        {"Ctrl+keypad 1: last document", kVkNumpad1, kCtrl, 50, 2, 50, 5, kKept},
        {"Ctrl+another key is swallowed", 'A', kCtrl, 50, 2, 50, 2, kKept},

        {"Shift+Ctrl+Up goes to the bar", kVkUp, kShift | kCtrl, 50, 2, 50, 2, kPassed},
        {"Alt+Page Down at the end goes to the bar", kVkPageDown, kAlt, 100, 2, 100, 2, kPassed},
        {"Ctrl+Alt+N goes to the bar", kVkN, kCtrl | kAlt, 50, 2, 50, 2, kPassed},

        // A single document after a list: the document bar stays put.
        {"Page Down at the end without a list", kVkPageDown, kNone, 100, 2, 100, 2, kKept, false, false},
        {"Page Up at the top without a list", kVkPageUp, kNone, 1, 2, 1, 2, kKept, false, false},
        {"Ctrl+T without a list", kVkT, kCtrl, 50, 2, 50, 2, kKept, false, false},
        {"Ctrl+B without a list", kVkB, kCtrl, 50, 2, 50, 2, kKept, false, false},
        {"Ctrl+N without a list", kVkN, kCtrl, 50, 2, 50, 2, kKept, false, false},
    };
    for (const auto& c : cases) {
        FakeBar v1(c.v1, 1, 100, 1, 20);
        FakeBar v2(c.v2, 0, 5, 1, 1, c.list);
        int key = c.key;
        int exits = 0;
        VScroll1_KeyDown(v1, v2, key, c.shift, [&] { ++exits; });
        EXPECT_EQ(v1.Value(), c.want_v1) << c.name;
        EXPECT_EQ(v2.Value(), c.want_v2) << c.name;
        EXPECT_EQ(key, c.passed ? c.key : 0) << c.name;
        EXPECT_EQ(exits, c.exits ? 1 : 0) << c.name;
        // A bar is set only to move it: every set loads or redraws.
        EXPECT_EQ(v1.sets, c.want_v1 != c.v1 ? 1 : 0) << c.name;
        EXPECT_EQ(v2.sets, c.want_v2 != c.v2 ? 1 : 0) << c.name;
    }
}

}  // namespace
}  // namespace tw

#include "editor/keyboard.h"

#include <cstring>

namespace {

// Offsets of the seven white keys of an octave starting on A: A B C D E F G.
constexpr int white[7] = {0, 2, 3, 5, 7, 8, 10};
constexpr int kKeys = 88;
// Rows 0..45 are the upper zone where every key is 7 pixels wide; below lie
// the fronts of the 12-pixel white keys.
constexpr int kUpperZoneEnd = 45;

}  // namespace

keyboard::keyboard(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style)
    : CControl(size, listener, tag, background), style(style) {
    setMin(-88.0f);
    setMax(88.0f);
    setWantsFocus(true);
}

int keyboard::keyAt(int dx, int dy) {
    int key;
    if (dy <= kUpperZoneEnd) {
        key = dx / 7;
    } else {
        int w = (dx + 3) / 12;
        if (w < 0) w = 0;  // left of the keyboard: the first A
        key = white[w % 7] + 12 * (w / 7);
    }
    if (key < 0) return 0;
    return key < kKeys ? key : kKeys - 1;
}

void keyboard::draw(CDrawContext* context) {
    if (pBackground) pBackground->draw(context, size, CPoint(0, 0));
    setDirty(false);
}

CMouseEventResult keyboard::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    value = static_cast<float>(keyAt(where.h - size.left, where.v - size.top));
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

CMouseEventResult keyboard::onMouseMoved(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    int key = keyAt(where.h - size.left, where.v - size.top);
    if (key == static_cast<int>(value)) return kMouseEventHandled;
    value = static_cast<float>(key);
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

CMouseEventResult keyboard::onMouseUp(CPoint&, const long&) { return kMouseEventHandled; }

bool keyboard::onWheel(const CPoint&, const float&, const long&) { return true; }

bool keyboard::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "keyboard") == 0 || CControl::isTypeOf(type));
}

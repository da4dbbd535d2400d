#include "gui/COnOffButton.h"

#include <cstring>

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style)
    : CControl(size, listener, tag, background), style(style) {}

void COnOffButton::draw(CDrawContext* context) {
    if (pBackground) {
        CCoord frameOffset = value != 0.0f ? pBackground->getHeight() / 2 : 0;
        pBackground->draw(context, size, CPoint(0, frameOffset));
    }
    setDirty(false);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    value = static_cast<long>(value) ? 0.0f : 1.0f;
    if (listener && (style & kPostListenerUpdate)) invalid();
    if (listener) listener->valueChanged(this);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COnOffButton::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "COnOffButton") == 0 || CControl::isTypeOf(type));
}

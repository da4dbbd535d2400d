#include "editor/CTextButton.h"

#include <cstring>

#include "gui/CBitmap.h"

CTextButton::CTextButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         const char* caption, bool momentary)
    : COnOffButton(size, listener, tag, background, 0), font(kSystemFont), momentary(momentary) {
    font->remember();
    if (caption) std::strncpy(text, caption, sizeof(text) - 1);
}

CTextButton::CTextButton(const CTextButton& other)
    : COnOffButton(other),
      font(other.font),
      activeTextColor(other.activeTextColor),
      inactiveTextColor(other.inactiveTextColor),
      momentary(other.momentary) {
    std::memcpy(text, other.text, sizeof(text));
    font->remember();
}

CTextButton::~CTextButton() { font->forget(); }

void CTextButton::setText(const char* newText) {
    if (newText) {
        std::strncpy(text, newText, sizeof(text) - 1);
        text[sizeof(text) - 1] = '\0';
    }
    setDirty();
}

void CTextButton::setTextFont(CFontRef newFont) {
    if (!newFont) return;
    newFont->remember();
    font->forget();
    font = newFont;
}

CMouseEventResult CTextButton::onMouseDown(CPoint&, const long&) {
    value = static_cast<long>(value) ? 0.0f : 1.0f;
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

CMouseEventResult CTextButton::onMouseMoved(CPoint& where, const long& buttons) {
    if (momentary && (buttons & kLButton)) {
        bool inside = where.h >= size.left && where.v >= size.top && where.h <= size.right && where.v <= size.bottom;
        value = inside ? 1.0f : 0.0f;
        if (isDirty()) invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CTextButton::onMouseUp(CPoint&, const long&) {
    if (momentary) value = 0.0f;
    return kMouseEventHandled;
}

void CTextButton::draw(CDrawContext* context) {
    if (pBackground) {
        CCoord frameOffset = value != 0.0f ? pBackground->getHeight() / 2 : 0;
        pBackground->draw(context, size, CPoint(0, frameOffset));
    }
    context->setFont(font, font->getSize(), font->getStyle());
    context->setFontColor(value == 0.0f ? inactiveTextColor : activeTextColor);
    context->drawString(text, size, false, kCenterText);
    setDirty(false);
}

bool CTextButton::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CTextButton") == 0 || COnOffButton::isTypeOf(type));
}

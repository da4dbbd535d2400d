#include "gui/CTextLabel.h"

#include <cstring>

CTextLabel::CTextLabel(const CRect& size, const char* txt, CBitmap* background, const long style)
    : CControl(size, nullptr, -1, background), fontID(kNormalFont), style(style) {
    fontID->remember();
    setText(txt);
}

CTextLabel::CTextLabel(const CTextLabel& other)
    : CControl(other),
      text(other.text),
      fontID(other.fontID),
      fontColor(other.fontColor),
      backColor(other.backColor),
      frameColor(other.frameColor),
      horiTxtAlign(other.horiTxtAlign),
      style(other.style) {
    fontID->remember();
}

CTextLabel::~CTextLabel() { fontID->forget(); }

void CTextLabel::setFont(CFontRef font) {
    if (!font) return;
    font->remember();
    fontID->forget();
    fontID = font;
    setDirty();
}

void CTextLabel::setText(const char* txt) {
    text = txt ? txt : "";
    setDirty();
}

void CTextLabel::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) {
        setDirty(false);
        return;
    }
    if (pBackground) {
        pBackground->draw(context, size);
    } else if (!(style & kTransparentStyle)) {
        context->setFillColor(backColor);
        context->setFrameColor(frameColor);
        context->drawRect(size, (style & kNoFrame) ? kDrawFilled : kDrawFilledAndStroked);
    }
    if (!(style & kNoTextStyle)) {
        context->setFont(fontID);
        context->setFontColor(fontColor);
        context->drawString(text.c_str(), size, false, horiTxtAlign);
    }
    setDirty(false);
}

bool CTextLabel::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CTextLabel") == 0 || std::strcmp(type, "CParamDisplay") == 0 ||
                    CControl::isTypeOf(type));
}

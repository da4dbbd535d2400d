// The editor's button: a two-frame bitmap button with a one-line caption,
// working as a toggle or as a momentary push button.
#pragma once

#include "gui/COnOffButton.h"
#include "gui/CColor.h"
#include "gui/CFontDesc.h"

class CTextButton : public COnOffButton {
public:
    CTextButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, const char* text,
                bool momentary);
    CTextButton(const CTextButton& other);
    ~CTextButton() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new CTextButton(*this); }

    // Null leaves the caption as it is; longer captions are cut to 31 characters.
    void setText(const char* newText);
    const char* getText() const { return text; }
    void setTextFont(CFontRef newFont);
    CFontRef getTextFont() const { return font; }
    void setActiveTextColor(const CColor& color) { activeTextColor = color; }
    void setInactiveTextColor(const CColor& color) { inactiveTextColor = color; }
    bool isMomentary() const { return momentary; }

private:
    char text[32] = {};
    CFontRef font;
    CColor activeTextColor = kWhiteCColor;
    CColor inactiveTextColor = kWhiteCColor;
    bool momentary;
};

// A one-line text on a background bitmap or a filled rectangle, with
// VSTGUI's display defaults: normal font, white text, centred, on black.
#pragma once

#include <string>

#include "gui/CColor.h"
#include "gui/CControl.h"
#include "gui/CFontDesc.h"

enum CParamDisplayStyle : long {
    kShadowText = 1 << 2,
    kNoTextStyle = 1 << 11,
    kNoDrawStyle = 1 << 12,
    kNoFrame = 1 << 13,
    kTransparentStyle = 1 << 14,
};

class CTextLabel : public CControl {
public:
    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr, const long style = 0);
    CTextLabel(const CTextLabel& other);
    ~CTextLabel() override;

    void draw(CDrawContext* context) override;

    // Copies the text (null clears it) and marks the label dirty.
    virtual void setText(const char* text);
    virtual const char* getText() const { return text.c_str(); }

    void setFont(CFontRef font);
    CFontRef getFont() const { return fontID; }
    void setFontColor(const CColor& color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    void setBackColor(const CColor& color) { backColor = color; }
    CColor getBackColor() const { return backColor; }
    void setFrameColor(const CColor& color) { frameColor = color; }
    void setHoriAlign(CHoriTxtAlign align) { horiTxtAlign = align; }
    long getStyle() const { return style; }

    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new CTextLabel(*this); }

private:
    std::string text;
    CFontRef fontID;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CHoriTxtAlign horiTxtAlign = kCenterText;
    long style;
};

// A two-state button drawn from a bitmap with two frames stacked vertically:
// the upper frame while the value is 0, the lower one otherwise.
#pragma once

#include "gui/CControl.h"

enum CButtonStyle : long { kPreListenerUpdate = 0, kPostListenerUpdate = 1 << 0 };

class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = kPreListenerUpdate);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;

    virtual long getStyle() const { return style; }
    virtual void setStyle(long newStyle) { style = newStyle; }

    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new COnOffButton(*this); }

protected:
    long style;
};

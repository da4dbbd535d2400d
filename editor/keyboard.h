// The on-screen keyboard: a picture of the 88 keys that plays the key under
// the pointer on a left click and each further key the pointer enters while
// the button is held. Its value is the last key played (0..87), reported to
// the listener every time a key is played.
#pragma once

#include "gui/CControl.h"

class keyboard : public CControl {
public:
    keyboard(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new keyboard(*this); }
    virtual long getStyle() const { return style; }

    // Key under a point given relative to the control's top left, 0..87.
    static int keyAt(int dx, int dy);

private:
    long style;
};

// The key-slider page: 88 vertical bars showing and editing one parameter's
// per-key offsets (-127..127) in place, painted with a brush-shaped drag and
// changed by seven whole-page actions. Without offsets it shows the logo; in
// help mode it shows the help text of its help topic.
#pragma once

#include <cstdint>

#include "gui/CControl.h"
#include "gui/CFontDesc.h"

class multiSlider : public CControl {
public:
    multiSlider(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* logo,
                long style);
    multiSlider(const multiSlider& other);
    ~multiSlider() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new multiSlider(*this); }
    virtual long getStyle() const { return style; }

    // Whole-page operation 0..6: "0", "+", "-", "x", "/", "R", "S".
    void action(int index);

    // Bar height in pixels of an offset, 0..180.
    static int barHeight(int offset);
    // Offset value of a pointer row relative to the control's top, before clamping.
    static int valueAt(int dy);

    std::int8_t* offsets = nullptr;
    std::int32_t helpTopic = 0;

private:
    void paint(const CPoint& where, const long& buttons);

    std::int32_t style;
    CBitmap* logo;
    CFontRef font;
};

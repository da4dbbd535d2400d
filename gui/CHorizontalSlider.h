// A horizontal slider: a handle bitmap moving over a background bitmap.
//
// The handle travels over the range given at construction less the handle's
// width. With free click a press anywhere sets the value under the pointer
// and dragging follows it; with Shift held the value moves a tenth as fast as
// the pointer. A left click with Control alone sets the default value. A
// wheel step adds the wheel increment (a tenth of it with Shift), and the
// arrow keys do the same while the slider has the focus. Every such change
// is wrapped in beginEdit/endEdit.
#pragma once

#include "gui/CControl.h"

enum CSliderStyle : long {
    kLeft = 1 << 3,
    kRight = 1 << 4,
    kTop = 1 << 5,
    kBottom = 1 << 6,
    kHorizontal = 1 << 0,
};

class CHorizontalSlider : public CControl {
public:
    CHorizontalSlider(const CRect& size, CControlListener* listener, long tag, const CPoint& offsetHandle,
                      long rangeHandle, CBitmap* handle, CBitmap* background, const CPoint& offset = CPoint(0, 0),
                      const long style = kLeft);
    ~CHorizontalSlider() override;
    CHorizontalSlider(const CHorizontalSlider& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    long onKeyDown(VstKeyCode& keyCode) override;

    void setFreeClick(bool val) { bFreeClick = val; }
    bool getFreeClick() const { return bFreeClick; }
    void setZoomFactor(float val) { zoomFactor = val; }
    float getZoomFactor() const { return zoomFactor; }
    void setHandle(CBitmap* handle);
    CBitmap* getHandle() const { return pHandle; }
    long getStyle() const { return style; }
    // Pixels the handle travels from value 0 to value 1.
    CCoord getHandleTravel() const { return rangeHandle; }

    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new CHorizontalSlider(*this); }

private:
    // Position of the pointer along the travel, 0..1 not yet limited.
    float pointerPosition(const CPoint& where) const;
    float normalizedValue() const;
    void setNormalizedValue(float normalized);
    void changeBy(float normalizedStep);

    CPoint offset;
    CPoint offsetHandle;
    CBitmap* pHandle = nullptr;
    long style;
    CCoord widthOfSlider = 1;
    CCoord heightOfSlider = 1;
    CCoord rangeHandle;
    CCoord minPos;
    float delta = 0.0f;  // pointer x that gives value 0 during a drag
    float zoomFactor = 10.0f;
    bool bFreeClick = true;
    bool dragging = false;
    bool zooming = false;
    float zoomStartValue = 0.0f;
    float zoomStartPointer = 0.0f;
    CCoord lastX = 0;  // pointer x of the previous move of the drag
};

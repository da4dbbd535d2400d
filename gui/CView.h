// The base of everything drawn in the editor window: a rectangle in the
// frame, an optional background bitmap, visibility, dirty marking and the
// mouse, wheel and key operations the frame routes to it.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"
#include "vst/aeffect.h"

class CFrame;

// Mouse button and modifier bits, as VSTGUI passes them.
enum CButton : long {
    kLButton = 1 << 0,
    kMButton = 1 << 1,
    kRButton = 1 << 2,
    kShift = 1 << 3,
    kControl = 1 << 4,
    kAlt = 1 << 5,
    kApple = 1 << 6,
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    CView(const CView& other);
    ~CView() override;
    CView& operator=(const CView&) = delete;

    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);

    virtual CMouseEventResult onMouseDown(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const long& buttons);
    // distance is in wheel steps, positive away from the user.
    virtual bool onWheel(const CPoint& where, const float& distance, const long& buttons);
    // 1 when the key was used, -1 otherwise.
    virtual long onKeyDown(VstKeyCode& keyCode);
    virtual long onKeyUp(VstKeyCode& keyCode);

    virtual void setDirty(const bool val = true) { bDirty = val; }
    virtual bool isDirty() const { return bDirty; }
    // Asks the frame to redraw this view's area at its next idle.
    virtual void invalid();

    virtual void setVisible(bool state);
    bool isVisible() const { return bVisible; }
    virtual void setMouseEnabled(bool state) { bMouseEnabled = state; }
    bool getMouseEnabled() const { return bMouseEnabled; }
    void setWantsFocus(bool state) { bWantsFocus = state; }
    bool wantsFocus() const { return bWantsFocus; }
    virtual void takeFocus() {}
    virtual void looseFocus() {}

    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    CRect& getViewSize(CRect& rect) const { return rect = size; }
    const CRect& getViewSize() const { return size; }
    CCoord getWidth() const { return size.width(); }
    CCoord getHeight() const { return size.height(); }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    CRect& getMouseableArea(CRect& rect) const { return rect = mouseableArea; }

    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return pBackground; }

    virtual bool isTypeOf(const char* type) const;
    virtual CView* newCopy() const { return new CView(*this); }

    CFrame* getFrame() const { return pParentFrame; }
    virtual bool attached(CFrame* frame);
    virtual bool removed(CFrame* frame);

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame = nullptr;
    CBitmap* pBackground = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bWantsFocus = false;
    bool bVisible = true;
};

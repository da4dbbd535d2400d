// A view with a value between a minimum and a maximum, a tag and a listener
// that is told when the user changes the value. A control is dirty while its
// value differs from the one last drawn.
#pragma once

#include "gui/CControlListener.h"
#include "gui/CView.h"

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0, CBitmap* background = nullptr);

    virtual void setValue(float val) { value = val; }
    virtual float getValue() const { return value; }
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setWheelInc(float val) { wheelInc = val; }
    virtual float getWheelInc() const { return wheelInc; }

    virtual void setTag(long val) { tag = val; }
    virtual long getTag() const { return tag; }
    virtual void setListener(CControlListener* l) { listener = l; }
    CControlListener* getListener() const { return listener; }

    // Tell the host, through the frame and the editor, that the user starts
    // or ends changing this control.
    virtual void beginEdit();
    virtual void endEdit();

    // Limits the value to minimum..maximum.
    virtual void bounceValue();
    // True for a left click with Control and nothing else.
    virtual bool checkDefaultValue(long buttons) const;

    void setDirty(const bool val = true) override;
    bool isDirty() const override;

    bool isTypeOf(const char* type) const override;
    CView* newCopy() const override { return new CControl(*this); }

protected:
    CControlListener* listener;
    long tag;
    float oldValue = 1.0f;  // differs from value, so a new control is drawn
    float defaultValue = 0.5f;
    float value = 0.0f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelInc = 0.1f;
};

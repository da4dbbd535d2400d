#include "gui/CControl.h"

#include <cstring>

#include "gui/CFrame.h"

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag) {
    setBackground(background);
}

void CControl::beginEdit() {
    if (!pParentFrame) return;
    pParentFrame->setFocusView(this);
    pParentFrame->beginEdit(tag);
}

void CControl::endEdit() {
    if (pParentFrame) pParentFrame->endEdit(tag);
}

void CControl::bounceValue() {
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

bool CControl::checkDefaultValue(long buttons) const { return buttons == (kControl | kLButton); }

void CControl::setDirty(const bool val) {
    CView::setDirty(val);
    if (val)
        oldValue = value != -1.0f ? -1.0f : 0.0f;
    else
        oldValue = value;
}

bool CControl::isDirty() const { return oldValue != value || CView::isDirty(); }

bool CControl::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CControl") == 0 || CView::isTypeOf(type));
}

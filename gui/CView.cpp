#include "gui/CView.h"

#include <cstring>

#include "gui/CFrame.h"

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::CView(const CView& other)
    : CReferenceCounter(other),
      size(other.size),
      mouseableArea(other.mouseableArea),
      pBackground(other.pBackground),
      bDirty(other.bDirty),
      bMouseEnabled(other.bMouseEnabled),
      bWantsFocus(other.bWantsFocus),
      bVisible(other.bVisible) {
    if (pBackground) pBackground->remember();
}

CView::~CView() {
    if (pBackground) pBackground->forget();
}

void CView::draw(CDrawContext* context) {
    if (pBackground) pBackground->draw(context, size);
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&) { draw(context); }

CMouseEventResult CView::onMouseDown(CPoint&, const long&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const long&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const long&) { return kMouseEventNotImplemented; }
bool CView::onWheel(const CPoint&, const float&, const long&) { return false; }
long CView::onKeyDown(VstKeyCode&) { return -1; }
long CView::onKeyUp(VstKeyCode&) { return -1; }

void CView::invalid() {
    setDirty(false);
    if (pParentFrame) pParentFrame->invalidRect(size);
}

void CView::setVisible(bool state) {
    if (bVisible == state) return;
    bVisible = state;
    // Shown or hidden, the area needs a redraw.
    if (pParentFrame) pParentFrame->invalidRect(size);
}

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (invalidate && pParentFrame) pParentFrame->invalidRect(size);
    size = rect;
    if (invalidate) setDirty();
}

void CView::setBackground(CBitmap* background) {
    if (background) background->remember();
    if (pBackground) pBackground->forget();
    pBackground = background;
    setDirty();
}

bool CView::isTypeOf(const char* type) const { return type && std::strcmp(type, "CView") == 0; }

bool CView::attached(CFrame* frame) {
    pParentFrame = frame;
    return true;
}

bool CView::removed(CFrame*) {
    pParentFrame = nullptr;
    return true;
}

#include "gui/CFrame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "gui/AEffGUIEditor.h"
#include "gui/X11Window.h"

CFrame::CFrame(const CRect& rect, void* systemWindow, AEffGUIEditor* editor)
    : CView(CRect(0, 0, rect.width(), rect.height())), systemWindow(systemWindow), editor(editor) {
    pParentFrame = this;
    backBuffer = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(1, size.width()), std::max(1, size.height()));
    if (systemWindow) {
        auto parent = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(systemWindow));
        window = X11Window::create(parent, size.width(), size.height());
        valid = window != nullptr;
    }
    pendingArea = size;
}

CFrame::~CFrame() {
    removeAll(true);
    window.reset();
    cairo_surface_destroy(backBuffer);
    pParentFrame = nullptr;
}

bool CFrame::isWindowOpen() const { return window && window->isAlive(); }

unsigned long CFrame::getWindowId() const { return window ? window->id() : 0; }

bool CFrame::addView(CView* view) {
    if (!view || isChild(view)) return false;
    views.push_back(view);
    view->attached(this);
    view->setDirty();
    invalidRect(view->getViewSize());
    return true;
}

bool CFrame::removeView(CView* view, const bool withForget) {
    auto it = std::find(views.begin(), views.end(), view);
    if (it == views.end()) return false;
    views.erase(it);
    if (mouseDownView == view) mouseDownView = nullptr;
    if (focusView == view) focusView = nullptr;
    invalidRect(view->getViewSize());
    view->removed(this);
    if (withForget) view->forget();
    return true;
}

void CFrame::removeAll(const bool withForget) {
    mouseDownView = nullptr;
    focusView = nullptr;
    std::vector<CView*> old;
    old.swap(views);
    for (CView* view : old) {
        view->removed(this);
        if (withForget) view->forget();
    }
    invalidRect(size);
}

CView* CFrame::getView(int index) const {
    return index >= 0 && index < getNbViews() ? views[static_cast<std::size_t>(index)] : nullptr;
}

bool CFrame::isChild(const CView* view) const { return std::find(views.begin(), views.end(), view) != views.end(); }

void CFrame::setBackgroundColor(const CColor& color) {
    backgroundColor = color;
    setDirty();
}

void CFrame::invalidRect(const CRect& rect) {
    CRect area = rect;
    pendingArea.unite(area.bound(size));
}

void CFrame::setDirty(const bool val) {
    if (val)
        pendingArea = size;
    else
        pendingArea = CRect();
}

bool CFrame::isDirty() const {
    if (!pendingArea.isEmpty()) return true;
    return std::any_of(views.begin(), views.end(), [](const CView* v) { return v->isDirty(); });
}

void CFrame::idle() {
    if (window) window->processEvents(*this);
    redraw();
}

void CFrame::redraw() {
    CRect area = pendingArea;
    for (CView* view : views)
        if (view->isDirty()) area.unite(view->getViewSize());
    pendingArea = CRect();
    area.bound(size);
    if (area.isEmpty()) return;
    {
        CDrawContext context(backBuffer);
        drawRect(&context, area);
    }
    cairo_surface_flush(backBuffer);
    if (window) window->present(backBuffer, area);
}

void CFrame::draw(CDrawContext* context) { drawRect(context, size); }

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect area = updateRect;
    area.bound(size);
    if (area.isEmpty()) return;
    context->setClipRect(area);
    context->setFillColor(backgroundColor);
    context->fillRect(area);
    for (CView* view : views) {
        if (!view->isVisible()) {
            // A hidden view's area was just painted over; it has nothing to show.
            view->setDirty(false);
            continue;
        }
        CRect clip = view->getViewSize();
        clip.bound(area);
        if (clip.isEmpty()) continue;
        context->setClipRect(clip);
        view->drawRect(context, clip);
    }
    context->setClipRect(area);
}

CView* CFrame::getViewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* view = *it;
        CRect area;
        if (view->isVisible() && view->getMouseEnabled() && view->getMouseableArea(area).pointInside(where))
            return view;
    }
    return nullptr;
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const long& buttons) {
    // A further button pressed during a drag belongs to that drag.
    if (mouseDownView) return kMouseEventHandled;
    CView* view = getViewAt(where);
    if (!view) {
        setFocusView(nullptr);
        return kMouseEventNotHandled;
    }
    if (view->wantsFocus()) {
        setFocusView(view);
        // Some hosts never give their plug-in window the keyboard focus.
        if (window) window->takeFocus();
    }
    CMouseEventResult result = view->onMouseDown(where, buttons);
    if (result == kMouseEventHandled && isChild(view)) mouseDownView = view;
    return result;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const long& buttons) {
    CView* view = mouseDownView;
    if (!view) return kMouseEventNotHandled;
    mouseDownView = nullptr;
    return view->onMouseUp(where, buttons);
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const long& buttons) {
    if (!mouseDownView) return kMouseEventNotHandled;
    return mouseDownView->onMouseMoved(where, buttons);
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    CView* view = getViewAt(where);
    return view && view->onWheel(where, distance, buttons);
}

long CFrame::onKeyDown(VstKeyCode& keyCode) { return focusView ? focusView->onKeyDown(keyCode) : -1; }

long CFrame::onKeyUp(VstKeyCode& keyCode) { return focusView ? focusView->onKeyUp(keyCode) : -1; }

void CFrame::setFocusView(CView* view) {
    if (view && (!view->wantsFocus() || !isChild(view))) return;
    if (view == focusView) return;
    if (focusView) focusView->looseFocus();
    focusView = view;
    if (focusView) focusView->takeFocus();
}

void CFrame::beginEdit(long index) {
    if (editor) editor->beginEdit(static_cast<VstInt32>(index));
}

void CFrame::endEdit(long index) {
    if (editor) editor->endEdit(static_cast<VstInt32>(index));
}

bool CFrame::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CFrame") == 0 || CView::isTypeOf(type));
}

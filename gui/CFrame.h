// The editor window's root view. It owns its views (one reference each),
// draws them in the order they were added into a back buffer, routes mouse,
// wheel and key events to them, and, when given the host's parent window,
// shows the back buffer in an X11 child window of its own.
//
// Everything runs on the host's editor thread: the host's idle calls reach
// idle(), which handles the window's pending events and redraws the area
// that views marked dirty or invalid since the last call.
#pragma once

#include <cairo.h>

#include <memory>
#include <vector>

#include "gui/CColor.h"
#include "gui/CView.h"

class AEffGUIEditor;
class X11Window;

class CFrame : public CView {
public:
    // systemWindow: the host's X11 window id (as a pointer), or null for a
    // frame without a window that draws only into its back buffer.
    CFrame(const CRect& size, void* systemWindow, AEffGUIEditor* editor);
    ~CFrame() override;
    CFrame(const CFrame&) = delete;

    // False when a parent window was given but no editor window could be
    // made in it (no display, or the parent is not a live window).
    bool isValid() const { return valid; }
    // The editor window exists and has not been destroyed under us.
    bool isWindowOpen() const;
    unsigned long getWindowId() const;
    void* getSystemWindow() const { return systemWindow; }
    AEffGUIEditor* getEditor() const { return editor; }

    // Takes over the caller's reference to the view.
    bool addView(CView* view);
    bool removeView(CView* view, const bool withForget = true);
    void removeAll(const bool withForget = true);
    int getNbViews() const { return static_cast<int>(views.size()); }
    CView* getView(int index) const;
    bool isChild(const CView* view) const;

    void setBackgroundColor(const CColor& color);
    CColor getBackgroundColor() const { return backgroundColor; }

    // Marks an area to be redrawn at the next idle.
    void invalidRect(const CRect& rect);
    void setDirty(const bool val = true) override;
    bool isDirty() const override;

    // Handles pending window events, then redraws what is dirty.
    void idle();
    // Redraws the dirty area into the back buffer and shows it.
    void redraw();
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    cairo_surface_t* getBackBuffer() const { return backBuffer; }

    // Mouse, wheel and keys in frame coordinates; the window calls these and
    // tests may call them directly.
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;

    // Only views that want the focus take it; null clears it.
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    CView* getMouseDownView() const { return mouseDownView; }
    CView* getViewAt(const CPoint& where) const;

    void beginEdit(long index);
    void endEdit(long index);

    bool isTypeOf(const char* type) const override;

private:
    void* systemWindow;
    AEffGUIEditor* editor;
    std::vector<CView*> views;
    CColor backgroundColor = kBlackCColor;
    CRect pendingArea;
    CView* mouseDownView = nullptr;
    CView* focusView = nullptr;
    cairo_surface_t* backBuffer = nullptr;
    std::unique_ptr<X11Window> window;
    bool valid = true;
};

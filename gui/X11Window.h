// The editor's X11 window: a child of the host's window on a private xcb
// connection, with the parent's visual and depth. It turns X events into the
// frame's mouse, wheel and key calls and shows the frame's back buffer.
//
// xcb rather than Xlib: an X error (a host destroying its window before
// closing the editor) then is just an ignored event instead of the end of
// the host process.
#pragma once

#include <cairo.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

#include "gui/CRect.h"

class CFrame;

class X11Window {
public:
    // Null when no display can be reached or parent is not a live window.
    static std::unique_ptr<X11Window> create(std::uint32_t parent, int width, int height);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // Handles every pending event; of a burst of pointer motions only the
    // newest is passed on.
    void processEvents(CFrame& frame);
    // Copies area of the back buffer into the window.
    void present(cairo_surface_t* backBuffer, const CRect& area);
    void takeFocus();

    // False once the window was destroyed (with its parent) or the
    // connection broke.
    bool isAlive() const { return alive; }
    std::uint32_t id() const { return window; }

private:
    X11Window() = default;
    void dispatch(CFrame& frame, xcb_generic_event_t* event);
    std::uint32_t keysymOf(std::uint8_t keycode, bool shifted) const;

    xcb_connection_t* connection = nullptr;
    std::uint32_t window = 0;
    std::uint32_t colormap = 0;  // created by us, when the parent had none
    cairo_surface_t* surface = nullptr;
    cairo_device_t* device = nullptr;
    std::unique_ptr<std::uint32_t[]> keysyms;
    int keysymsPerKeycode = 0;
    std::uint8_t minKeycode = 0;
    std::uint8_t maxKeycode = 0;
    bool alive = false;
};

// A test host on the private X server: it makes parent windows as a host
// does, injects pointer and key input with the XTest extension and reads
// the editor's pixels back from the server.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/AEffGUIEditor.h"

namespace guitest {

class XTestHost {
public:
    XTestHost();  // connects to privateDisplay(); connected() tells whether that worked
    ~XTestHost();
    XTestHost(const XTestHost&) = delete;

    bool connected() const { return connection != nullptr; }
    xcb_connection_t* xcb() const { return connection; }
    xcb_screen_t* screen() const { return root; }

    // A mapped top-level window at (x, y) on the root, like a host's editor
    // container; depth 0 takes the root's.
    xcb_window_t makeParent(int x, int y, int width, int height, int depth = 0);
    void destroy(xcb_window_t window);

    // Pointer and keys, in root coordinates; each call waits until the
    // server has taken it.
    void moveTo(int x, int y);
    void button(int number, bool down);
    void click(int x, int y, int number = 1);
    void key(std::uint32_t keysym, bool down);

    std::uint32_t pixel(xcb_window_t window, int x, int y);  // 0xRRGGBB
    bool screenshot(xcb_window_t window, int width, int height, const std::string& pngPath);
    bool isChildOf(xcb_window_t child, xcb_window_t parent);

    // Runs the editor's idle until done() holds (true) or about two seconds passed (false).
    static bool idleUntil(AEffEditor& editor, const std::function<bool()>& done);
    void sync();

private:
    std::uint8_t keycodeOf(std::uint32_t keysym);

    xcb_connection_t* connection = nullptr;
    xcb_screen_t* root = nullptr;
    std::vector<xcb_window_t> parents;  // destroyed with the host
};

}  // namespace guitest

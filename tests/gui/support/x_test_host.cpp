#include "support/x_test_host.h"

#include <cairo.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "support/xvfb.h"

namespace guitest {

XTestHost::XTestHost() {
    std::string display = privateDisplay();
    if (display.empty()) return;
    connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
        return;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
}

XTestHost::~XTestHost() {
    if (!connection) return;
    for (xcb_window_t window : parents) xcb_destroy_window(connection, window);
    xcb_disconnect(connection);
}

void XTestHost::sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }

xcb_window_t XTestHost::makeParent(int x, int y, int width, int height, int depth) {
    xcb_window_t window = xcb_generate_id(connection);
    std::uint8_t d = root->root_depth;
    xcb_visualid_t visual = root->root_visual;
    xcb_colormap_t colormap = root->default_colormap;
    if (depth && depth != root->root_depth) {
        visual = 0;
        for (auto depths = xcb_screen_allowed_depths_iterator(root); depths.rem && !visual; xcb_depth_next(&depths))
            if (depths.data->depth == depth) {
                auto visuals = xcb_depth_visuals_iterator(depths.data);
                if (visuals.rem) visual = visuals.data->visual_id;
            }
        if (!visual) return 0;
        d = static_cast<std::uint8_t>(depth);
        colormap = xcb_generate_id(connection);
        xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, root->root, visual);
    }
    const std::uint32_t values[] = {0x404040, 0, 1, colormap};
    xcb_create_window(connection, d, window, root->root, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_COLORMAP, values);
    xcb_map_window(connection, window);
    sync();
    parents.push_back(window);
    return window;
}

void XTestHost::destroy(xcb_window_t window) {
    xcb_destroy_window(connection, window);
    sync();
}

void XTestHost::moveTo(int x, int y) {
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root->root, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
    sync();
}

void XTestHost::button(int number, bool down) {
    xcb_test_fake_input(connection, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(number),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

void XTestHost::click(int x, int y, int number) {
    moveTo(x, y);
    button(number, true);
    button(number, false);
}

std::uint8_t XTestHost::keycodeOf(std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    if (!mapping) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
    int per = mapping->keysyms_per_keycode;
    std::uint8_t found = 0;
    for (int k = 0; k < count && !found; ++k)
        for (int i = 0; i < per; ++i)
            if (syms[k * per + i] == keysym) {
                found = static_cast<std::uint8_t>(setup->min_keycode + k);
                break;
            }
    std::free(mapping);
    return found;
}

void XTestHost::key(std::uint32_t keysym, bool down) {
    xcb_test_fake_input(connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycodeOf(keysym), XCB_CURRENT_TIME,
                        XCB_NONE, 0, 0, 0);
    sync();
}

std::uint32_t XTestHost::pixel(xcb_window_t window, int x, int y) {
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 1, 1, ~0u),
        nullptr);
    if (!image) return 0xFFFFFFFFu;
    std::uint32_t value = 0;
    std::memcpy(&value, xcb_get_image_data(image), 4);
    std::free(image);
    return value & 0xFFFFFFu;
}

bool XTestHost::screenshot(xcb_window_t window, int width, int height, const std::string& pngPath) {
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    if (!image) return false;
    cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(png);
    unsigned char* dst = cairo_image_surface_get_data(png);
    int stride = cairo_image_surface_get_stride(png);
    const unsigned char* src = xcb_get_image_data(image);
    for (int y = 0; y < height; ++y) std::memcpy(dst + y * stride, src + y * width * 4, static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(png);
    bool written = cairo_surface_write_to_png(png, pngPath.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(png);
    std::free(image);
    return written;
}

bool XTestHost::isChildOf(xcb_window_t child, xcb_window_t parent) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr);
    if (!tree) return false;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    bool found = false;
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) found = found || children[i] == child;
    std::free(tree);
    return found;
}

bool XTestHost::idleUntil(AEffEditor& editor, const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
        editor.idle();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace guitest

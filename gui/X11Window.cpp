#include "gui/X11Window.h"

#include <cairo-xcb.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "gui/CFrame.h"
#include "gui/vst_keys.h"

namespace {

template <typename T>
struct Reply {
    T* reply = nullptr;
    explicit Reply(T* r) : reply(r) {}
    ~Reply() { std::free(reply); }
    Reply(const Reply&) = delete;
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

xcb_visualtype_t* findVisual(xcb_connection_t* connection, xcb_visualid_t visual) {
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens))
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == visual) return visuals.data;
    return nullptr;
}

long modifiersOf(std::uint16_t state) {
    long buttons = 0;
    if (state & XCB_MOD_MASK_SHIFT) buttons |= kShift;
    if (state & XCB_MOD_MASK_CONTROL) buttons |= kControl;
    if (state & XCB_MOD_MASK_1) buttons |= kAlt;
    return buttons;
}

long heldButtonsOf(std::uint16_t state) {
    long buttons = 0;
    if (state & XCB_BUTTON_MASK_1) buttons |= kLButton;
    if (state & XCB_BUTTON_MASK_2) buttons |= kMButton;
    if (state & XCB_BUTTON_MASK_3) buttons |= kRButton;
    return buttons;
}

long buttonOf(xcb_button_t detail) {
    switch (detail) {
        case 1:
            return kLButton;
        case 2:
            return kMButton;
        case 3:
            return kRButton;
        default:
            return 0;
    }
}

// The VST key code of an X keysym; virt and character both 0 for keys the
// editor has no use for.
VstKeyCode keyCodeOf(std::uint32_t keysym, std::uint16_t state) {
    VstKeyCode key{0, 0, 0};
    switch (keysym) {
        case 0xff08: key.virt = VKEY_BACK; break;
        case 0xff09: key.virt = VKEY_TAB; break;
        case 0xff0d: key.virt = VKEY_RETURN; break;
        case 0xff1b: key.virt = VKEY_ESCAPE; break;
        case 0xff50: key.virt = VKEY_HOME; break;
        case 0xff51: key.virt = VKEY_LEFT; break;
        case 0xff52: key.virt = VKEY_UP; break;
        case 0xff53: key.virt = VKEY_RIGHT; break;
        case 0xff54: key.virt = VKEY_DOWN; break;
        case 0xff55: key.virt = VKEY_PAGEUP; break;
        case 0xff56: key.virt = VKEY_PAGEDOWN; break;
        case 0xff57: key.virt = VKEY_END; break;
        case 0xffff: key.virt = VKEY_DELETE; break;
        case 0x20:
            key.virt = VKEY_SPACE;
            key.character = ' ';
            break;
        default:
            if (keysym > 0x20 && keysym < 0x7f) key.character = static_cast<VstInt32>(keysym);
            break;
    }
    if (state & XCB_MOD_MASK_SHIFT) key.modifier |= MODIFIER_SHIFT;
    if (state & XCB_MOD_MASK_1) key.modifier |= MODIFIER_ALTERNATE;
    if (state & XCB_MOD_MASK_CONTROL) key.modifier |= MODIFIER_CONTROL;
    return key;
}

}  // namespace

std::unique_ptr<X11Window> X11Window::create(std::uint32_t parent, int width, int height) {
    if (parent == 0 || width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<X11Window> self(new X11Window());
    self->connection = xcb_connect(nullptr, nullptr);
    xcb_connection_t* c = self->connection;
    if (xcb_connection_has_error(c)) return nullptr;  // the destructor disconnects

    // The parent must exist; its visual and depth become ours.
    Reply geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, parent), nullptr));
    Reply attributes(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, parent), nullptr));
    if (!geometry || !attributes) return nullptr;
    xcb_visualtype_t* visual = findVisual(c, attributes->visual);
    if (!visual) return nullptr;

    xcb_colormap_t colormap = attributes->colormap;
    if (colormap == XCB_NONE) {
        colormap = self->colormap = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, geometry->root, attributes->visual);
    }
    self->window = xcb_generate_id(c);
    const std::uint32_t eventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                    XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_MOTION |
                                    XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const std::uint32_t values[] = {0, eventMask, colormap};
    xcb_void_cookie_t made = xcb_create_window_checked(
        c, geometry->depth, self->window, parent, 0, 0, static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, attributes->visual,
        XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    if (xcb_generic_error_t* error = xcb_request_check(c, made)) {
        std::free(error);
        self->window = 0;
        return nullptr;
    }
    self->alive = true;

    const xcb_setup_t* setup = xcb_get_setup(c);
    self->minKeycode = setup->min_keycode;
    self->maxKeycode = setup->max_keycode;
    Reply mapping(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr));
    if (mapping) {
        int count = xcb_get_keyboard_mapping_keysyms_length(mapping.reply);
        self->keysyms.reset(new std::uint32_t[static_cast<std::size_t>(count)]);
        std::memcpy(self->keysyms.get(), xcb_get_keyboard_mapping_keysyms(mapping.reply),
                    static_cast<std::size_t>(count) * sizeof(std::uint32_t));
        self->keysymsPerKeycode = mapping->keysyms_per_keycode;
    }

    self->surface = cairo_xcb_surface_create(c, self->window, visual, width, height);
    self->device = cairo_device_reference(cairo_surface_get_device(self->surface));
    xcb_map_window(c, self->window);
    xcb_flush(c);
    return self;
}

X11Window::~X11Window() {
    if (surface) {
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
    }
    // cairo must let go of the connection before it is closed.
    if (device) {
        cairo_device_finish(device);
        cairo_device_destroy(device);
    }
    if (connection) {
        if (alive && window) xcb_destroy_window(connection, window);
        if (colormap) xcb_free_colormap(connection, colormap);
        xcb_flush(connection);
        xcb_disconnect(connection);
    }
}

std::uint32_t X11Window::keysymOf(std::uint8_t keycode, bool shifted) const {
    if (!keysyms || keycode < minKeycode || keycode > maxKeycode || keysymsPerKeycode <= 0) return 0;
    const std::uint32_t* row = keysyms.get() + static_cast<std::size_t>(keycode - minKeycode) * keysymsPerKeycode;
    std::uint32_t sym = shifted && keysymsPerKeycode > 1 && row[1] ? row[1] : row[0];
    if (shifted && sym >= 'a' && sym <= 'z') sym -= 'a' - 'A';
    return sym;
}

void X11Window::processEvents(CFrame& frame) {
    if (!connection) return;
    xcb_generic_event_t* motion = nullptr;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_MOTION_NOTIFY) {
            std::free(motion);
            motion = event;
            continue;
        }
        if (motion) {
            dispatch(frame, motion);
            std::free(motion);
            motion = nullptr;
        }
        dispatch(frame, event);
        std::free(event);
    }
    if (motion) {
        dispatch(frame, motion);
        std::free(motion);
    }
    if (xcb_connection_has_error(connection)) alive = false;
}

void X11Window::dispatch(CFrame& frame, xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
        case 0:
            break;  // an X error, for example drawing after the parent went: nothing to do
        case XCB_EXPOSE: {
            auto* e = reinterpret_cast<xcb_expose_event_t*>(event);
            frame.invalidRect(CRect(e->x, e->y, e->x + e->width, e->y + e->height));
            break;
        }
        case XCB_BUTTON_PRESS: {
            auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
            CPoint where(e->event_x, e->event_y);
            long modifiers = modifiersOf(e->state);
            if (e->detail == 4 || e->detail == 5) {
                frame.onWheel(where, e->detail == 4 ? 1.0f : -1.0f, modifiers | heldButtonsOf(e->state));
                break;
            }
            long button = buttonOf(e->detail);
            if (!button) break;
            long buttons = heldButtonsOf(e->state) | button | modifiers;
            frame.onMouseDown(where, buttons);
            break;
        }
        case XCB_BUTTON_RELEASE: {
            auto* e = reinterpret_cast<xcb_button_release_event_t*>(event);
            long button = buttonOf(e->detail);
            if (!button) break;
            CPoint where(e->event_x, e->event_y);
            frame.onMouseUp(where, button | modifiersOf(e->state));
            break;
        }
        case XCB_MOTION_NOTIFY: {
            auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(event);
            CPoint where(e->event_x, e->event_y);
            frame.onMouseMoved(where, heldButtonsOf(e->state) | modifiersOf(e->state));
            break;
        }
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            auto* e = reinterpret_cast<xcb_key_press_event_t*>(event);
            VstKeyCode key = keyCodeOf(keysymOf(e->detail, e->state & XCB_MOD_MASK_SHIFT), e->state);
            if (!key.virt && !key.character) break;
            if ((event->response_type & 0x7f) == XCB_KEY_PRESS)
                frame.onKeyDown(key);
            else
                frame.onKeyUp(key);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            if (e->window == window) alive = false;
            break;
        }
        default:
            break;
    }
}

void X11Window::present(cairo_surface_t* backBuffer, const CRect& area) {
    if (!alive || area.isEmpty()) return;
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, backBuffer, 0, 0);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    xcb_flush(connection);
}

void X11Window::takeFocus() {
    if (!alive) return;
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

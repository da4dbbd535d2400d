// Helpers shared by the editor toolkit's tests: a plug-in whose host records
// every call, a listener that records value changes, and pixel readers.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "gui/vstgui.h"
#include "support/fake_host.h"
#include "vst/AudioEffectX.h"

namespace guitest {

// A plug-in without sound whose host callback is testhost::callback.
class SilentEffect : public AudioEffectX {
public:
    SilentEffect() : AudioEffectX(testhost::callback, 1, 0) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

struct Change {
    long tag;
    float value;
};

class RecordingListener : public CControlListener {
public:
    void valueChanged(CControl* control) override { changes.push_back({control->getTag(), control->getValue()}); }
    std::vector<Change> changes;
};

// Host calls of one opcode since the last testhost::reset.
std::vector<VstInt32> hostCallIndices(VstInt32 opcode);

// 0xRRGGBB of a pixel of an image surface.
std::uint32_t pixel(cairo_surface_t* image, int x, int y);
inline std::uint32_t rgb(const CColor& c) { return (c.red << 16) | (c.green << 8) | c.blue; }

// Pixels of colour in a rectangle of an image surface.
int countPixels(cairo_surface_t* image, const CRect& area, std::uint32_t color);
// Pixels in a rectangle whose every channel is at least 0xA0: text drawn in
// white, allowing for its antialiased edges.
int countWhitish(cairo_surface_t* image, const CRect& area);
// Pixels in a rectangle that differ from colour.
int countOtherPixels(cairo_surface_t* image, const CRect& area, std::uint32_t color);

// Drives a view with mouse events as the frame would pass them.
inline CMouseEventResult press(CView& view, int x, int y, long buttons = kLButton) {
    CPoint where(x, y);
    return view.onMouseDown(where, buttons);
}
inline CMouseEventResult move(CView& view, int x, int y, long buttons = kLButton) {
    CPoint where(x, y);
    return view.onMouseMoved(where, buttons);
}
inline CMouseEventResult release(CView& view, int x, int y, long buttons = kLButton) {
    CPoint where(x, y);
    return view.onMouseUp(where, buttons);
}

}  // namespace guitest

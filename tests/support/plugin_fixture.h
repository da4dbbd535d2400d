// Helpers for tests that drive a plug-in object directly: MIDI event lists
// and rendering into buffers.
#pragma once

#include <memory>
#include <vector>

#include "host/pelmar.h"
#include "support/fake_host.h"
#include "tools/vsthost/event_list.h"

namespace testplug {

inline std::unique_ptr<pelmar> make(int workers = 1) { return std::make_unique<pelmar>(testhost::callback, workers); }

// A host's event list for one block, sent straight to a plug-in object.
class EventList : public vsthost::EventList {
public:
    EventList& midi(int frame, int status, int data1, int data2) {
        vsthost::EventList::midi(frame, status, data1, data2);
        return *this;
    }
    EventList& noteOn(int frame, int note, int velocity) { return midi(frame, 0x90, note, velocity); }
    EventList& noteOff(int frame, int note) { return midi(frame, 0x80, note, 0); }
    EventList& pedal(int frame, bool down) { return midi(frame, 0xB0, 64, down ? 127 : 0); }
    void sendTo(pelmar& plugin) {
        plugin.processEvents(get());
        clear();
    }
};

struct Stereo {
    std::vector<float> left, right;
};

// Renders `frames` frames in blocks of `block`, appending to `out`.
inline void render(pelmar& plugin, Stereo& out, int frames, int block = 512) {
    std::vector<float> l(static_cast<std::size_t>(block)), r(static_cast<std::size_t>(block));
    for (int done = 0; done < frames; done += block) {
        const int n = std::min(block, frames - done);
        float* outputs[2] = {l.data(), r.data()};
        plugin.processReplacing(nullptr, outputs, n);
        out.left.insert(out.left.end(), l.begin(), l.begin() + n);
        out.right.insert(out.right.end(), r.begin(), r.begin() + n);
    }
}

inline Stereo render(pelmar& plugin, int frames, int block = 512) {
    Stereo out;
    render(plugin, out, frames, block);
    return out;
}

}  // namespace testplug

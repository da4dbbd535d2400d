// A host's event list for one block, built up MIDI event by MIDI event and
// handed to a plug-in as the VstEvents record it expects.
#pragma once

#include <vector>

#include "vst/aeffect.h"

namespace vsthost {

inline VstMidiEvent midiEvent(int frame, int status, int data1, int data2) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = frame;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

class EventList {
public:
    EventList& midi(int frame, int status, int data1, int data2) {
        events_.push_back(midiEvent(frame, status, data1, data2));
        return *this;
    }
    EventList& noteOn(int frame, int note, int velocity) { return midi(frame, 0x90, note, velocity); }
    EventList& noteOff(int frame, int note) { return midi(frame, 0x80, note, 0); }
    EventList& pedal(int frame, bool down) { return midi(frame, 0xB0, 64, down ? 127 : 0); }
    void clear() { events_.clear(); }

    // Valid until the list changes.
    VstEvents* get() {
        storage_.assign(sizeof(VstEvents) + sizeof(VstEvent*) * events_.size(), 0);
        auto* list = reinterpret_cast<VstEvents*>(storage_.data());
        list->numEvents = static_cast<VstInt32>(events_.size());
        VstEvent** slots = list->events;  // numEvents slots, not the declared two
        for (std::size_t i = 0; i < events_.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&events_[i]);
        return list;
    }

private:
    std::vector<VstMidiEvent> events_;
    std::vector<unsigned char> storage_;
};

}  // namespace vsthost

// Event lists of any content through effProcessEvents, between process
// calls of odd sizes, after an announced block size that need not match.
//
// Input: announced block size (4 bytes, any value), block size (2 bytes),
// then rounds of: event count (1 byte), that many events of 10 bytes (kind,
// byteSize, deltaFrames x4, MIDI bytes x4), and a process call.
#include "fuzz/fuzz_plugin.h"

namespace {
constexpr int kMaxPending = 4096;  // the plug-in's bound on queued events

// Room for any event record a host could mean, so that the plug-in may read
// the fields of whatever type the event claims without leaving the buffer.
union AnyEvent {
    VstEvent event;
    VstMidiEvent midi;
    VstMidiSysexEvent sysex;
    unsigned char bytes[64];
};

int pendingEvents(const pelmar& p) {
    int n = 0;
    for (const NoteEvent* e = p.eventList; e; e = e->next)
        if (++n > kMaxPending) break;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzplug::Bytes in(data, size);
    fuzzplug::Plugin plugin;
    const std::int32_t announced = in.i32();
    plugin.dispatch(effSetBlockSize, 0, announced);
    const int block = 1 + in.u16() % 1500;
    plugin.dispatch(effMainsChanged, 0, 1);

    std::vector<AnyEvent> events;
    std::vector<unsigned char> listStorage;
    for (int round = 0; round < 8 && !in.empty(); ++round) {
        const int count = in.u8();
        events.assign(static_cast<std::size_t>(count), AnyEvent{});
        listStorage.assign(sizeof(VstEvents) + sizeof(VstEvent*) * static_cast<std::size_t>(count), 0);
        auto* list = reinterpret_cast<VstEvents*>(listStorage.data());
        list->numEvents = count;
        VstEvent** slots = list->events;  // count slots, not the declared two
        for (int i = 0; i < count; ++i) {
            AnyEvent& e = events[static_cast<std::size_t>(i)];
            const std::uint8_t kind = in.u8();
            const auto byteSize = static_cast<std::int8_t>(in.u8());
            std::int32_t delta = in.i32();
            // Mostly near the block, where events are cut in; sometimes anywhere.
            if (!(kind & 0x80)) delta %= 2 * block + 1;
            const int type = kind & 7;
            e.event.type = type == 2 ? kVstSysExType : type == 3 ? static_cast<VstInt32>(kind) : kVstMidiType;
            e.event.byteSize = (kind & 0x40) ? byteSize : static_cast<VstInt32>(sizeof(VstMidiEvent));
            e.event.deltaFrames = delta;
            for (int b = 0; b < 4; ++b) e.midi.midiData[b] = static_cast<char>(in.u8());
            e.sysex.dumpBytes = 0;
            e.sysex.sysexDump = nullptr;
            // Type 0: the host's list holds a null pointer here.
            slots[i] = type == 0 ? nullptr : &e.event;
        }
        // A list whose count is negative is as possible as any other.
        if (count == 255) list->numEvents = -1;
        plugin.dispatch(effProcessEvents, 0, 0, list);
        if (pendingEvents(plugin.object()) > kMaxPending) fuzzplug::fail("queued events beyond the bound", kMaxPending);
        // The call sizes vary around the block size, odd ones included.
        const int frames = (round % 3 == 2) ? 1 + (block * 7 + round) % (2 * block) : block;
        plugin.render(frames, frames);
    }
    plugin.render(64, 64);
    return 0;
}

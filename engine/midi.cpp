// MIDI input: note and pedal events are queued with their frame offsets and
// applied by the render loop at their exact frame; volume and all-notes-off
// act at once; the on-screen keyboard strikes keys directly.
#include <algorithm>
#include <bit>
#include <cmath>

#include "editor/pmgui.h"
#include "engine/model_values.h"
#include "host/pelmar.h"
#include "host/shared_value.h"

namespace {

constexpr int kLowestNote = 21;  // MIDI note of key 0 before transposition
constexpr int kMaxPendingEvents = 4096;

}  // namespace

NoteEvent* pelmar::newEvent(long delta) {
    NoteEvent* event = eventFree;
    if (event)
        eventFree = event->next;
    else
        event = new NoteEvent{};
    event->delta = static_cast<std::int32_t>(std::clamp<long>(delta, INT32_MIN, INT32_MAX));
    event->next = nullptr;
    // After every event with a smaller or equal delta, so equal times keep
    // their order of arrival. Most events arrive in order: try the tail first.
    if (!eventList) {
        eventList = eventLast = event;
    } else if (eventLast->delta <= event->delta) {
        eventLast->next = event;
        eventLast = event;
    } else if (eventList->delta > event->delta) {
        event->next = eventList;
        eventList = event;
    } else {
        NoteEvent* at = eventList;
        while (at->next && at->next->delta <= event->delta) at = at->next;
        event->next = at->next;
        at->next = event;
    }
    return event;
}

VstInt32 pelmar::processEvents(VstEvents* events) {
    if (!events) return 1;
    int pending = 0;
    for (NoteEvent* e = eventList; e; e = e->next) ++pending;
    // The record declares two slots but holds numEvents: index through a
    // pointer, not the declared array.
    VstEvent* const* slots = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = slots[i];
        // Only MIDI events of a plausible size; sysex and the rest are skipped.
        if (!event || event->type != kVstMidiType || event->byteSize < 24) continue;
        const auto& midi = *reinterpret_cast<const VstMidiEvent*>(event);
        const auto* bytes = reinterpret_cast<const unsigned char*>(midi.midiData);
        const int status = bytes[0] & 0xF0;
        if (status == 0x90 || status == 0x80) {
            const int key = (bytes[1] & 0x7F) + noteShift - kLowestNote;
            if (key < 0 || key >= kNumKeys) continue;  // beyond the keyboard: dropped
            if (pending >= kMaxPendingEvents) continue;  // a flood cannot exhaust memory
            const int velocity = bytes[2] & 0x7F;
            NoteEvent* queued = newEvent(modelDelta(midi.deltaFrames));
            queued->key = static_cast<std::uint8_t>(key);
            queued->velocity = static_cast<std::uint8_t>(velocity);
            queued->noteOn = (status == 0x90 && velocity != 0) ? 1 : 0;
            ++pending;
        } else if (status == 0xB0) {
            const int value = bytes[2] & 0x7F;
            switch (bytes[1]) {
                case 64:  // sustain pedal, at its frame
                    if (pending >= kMaxPendingEvents) break;
                    {
                        NoteEvent* queued = newEvent(modelDelta(midi.deltaFrames));
                        queued->key = kPedalKey;
                        queued->velocity = 0;
                        queued->noteOn = value != 0 ? 1 : 0;
                        ++pending;
                    }
                    break;
                case 7: {  // volume, at once
                    const float volume = static_cast<float>(value) / 127.0f;
                    storeShared(currentProgram().param[kVolume], volume);
                    if (editor) gui()->setParameter(0, volume);
                    break;
                }
                case 123:  // all notes off, at once: the strings freeze where they are
                    for (int k = 0; k < kNumKeys; ++k) {
                        keyHeld[k] = 0;
                        keyActive[k] = 0;
                    }
                    break;
                default:
                    break;
            }
        }
    }
    return 1;
}

void pelmar::applyEvent(const NoteEvent& event) {
    if (event.key == kPedalKey) {
        if (event.noteOn) {
            pedalDown = 1;
        } else {
            pedalDown = 0;
            for (int k = 0; k < kNumKeys; ++k)
                if (!keyHeld[k] && keyActive[k]) damping[k] = dampRelease[k];
        }
        return;
    }
    const int k = event.key;
    if (k >= kNumKeys) return;
    if (event.noteOn) {
        forceCount[k] = static_cast<std::int16_t>(forceLen[k]);
        keyActive[k] = 1;
        // The velocity splits the strike between the two force curves: below
        // the softness threshold only the smoothed curve plays; above it the
        // raw curve takes over at a rate set by the dynamics value.
        const Program& program = currentProgram();
        const float v = static_cast<float>(event.velocity) / 127.0f;
        const float x = v - effectiveValue(program, kVeloSoft, k);
        const float a = x < 0.0f ? 0.0f : effectiveValue(program, kVeloDynamics, k) * 4.0f * x;
        forceAmp1[k] = a * v;
        forceAmp2[k] = v - a * v;
        keyHeld[k] = 1;
        damping[k] = dampHold[k];
    } else {
        if (!pedalDown) damping[k] = dampRelease[k];
        forceCount[k] = 0;
        forceAmp1[k] = 0.0f;
        forceAmp2[k] = 0.0f;
        keyHeld[k] = 0;
    }
}

void pelmar::setNote(int key, bool) {
    if (key < 0 || key >= kNumKeys) return;
    pendingStrikes[key / 64].fetch_or(std::uint64_t{1} << (key % 64));
}

void pelmar::applyEditorStrikes() {
    for (int word = 0; word < 2; ++word) {
        if (pendingStrikes[word].load(std::memory_order_relaxed) == 0) continue;
        std::uint64_t keys = pendingStrikes[word].exchange(0);
        while (keys) {
            const int k = word * 64 + std::countr_zero(keys);
            keys &= keys - 1;
            // Full force on the raw curve; the key is not held and keeps its damping.
            keyActive[k] = 1;
            forceAmp1[k] = 1.0f;
            forceAmp2[k] = 0.0f;
            forceCount[k] = static_cast<std::int16_t>(forceLen[k]);
        }
    }
}

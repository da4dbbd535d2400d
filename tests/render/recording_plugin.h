// What the recording test plug-in reports through effVendorSpecific with
// index kRecordingLogRequest: every call it received, in order.
#pragma once

#include <cstdint>

#include "vst/aeffect.h"

constexpr VstInt32 kRecordingLogRequest = vstFourCC('r', 'l', 'o', 'g');
constexpr int kRecordingLogCapacity = 1 << 16;

struct RecordedCall {
    enum Kind : std::int32_t { events, process } kind;
    VstInt32 frames;        // process: block length; events: number of events
    VstInt32 deltaFrames;   // one entry per event follows its events entry
    std::uint8_t bytes[3];
};

struct RecordingLog {
    std::int32_t count = 0;
    bool overflowed = false;
    RecordedCall calls[kRecordingLogCapacity];
};

// What the plug-in fuzzers share: a plug-in object driven through its
// AEffect record as a host drives it, and a render check that aborts on a
// non-finite or out-of-range sample and on a process call that takes longer
// than any real-time use could tolerate.
#pragma once

#include <algorithm>
#include <array>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/pelmar.h"

namespace fuzzplug {

// Slower than this for one process call is a hang, even under the sanitizers.
// Counted in the calling thread's processor time (the fuzzers render with one
// worker, on that thread), so a busy machine that preempts the fuzzer does not
// count; a call that blocks instead is caught by libFuzzer's -timeout.
constexpr double kMaxSecondsPerCall = 1.0;

inline double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

inline VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

[[noreturn]] inline void fail(const char* what, long detail) {
    std::fprintf(stderr, "fuzz check failed: %s (%ld)\n", what, detail);
    std::abort();
}

// Reads input bytes front to back; past the end it answers zeros.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::int32_t i32() {
        std::uint32_t v = u16();
        v |= static_cast<std::uint32_t>(u16()) << 16;
        return static_cast<std::int32_t>(v);
    }
    bool empty() const { return pos_ >= size_; }
    const std::uint8_t* rest() const { return data_ + pos_; }
    std::size_t restSize() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// One plug-in object with one worker, so that a finding replays the same way.
class Plugin {
public:
    Plugin() : object_(std::make_unique<pelmar>(hostCallback, 1)), effect_(object_->getAeffect()) {}
    ~Plugin() { dispatch(effClose); object_.release(); }  // effClose deletes the object

    AEffect* effect() const { return effect_; }
    pelmar& object() const { return *object_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

    // Sends a list of MIDI events built from (delta, status, data1, data2).
    void midi(std::initializer_list<std::array<int, 4>> list) {
        std::vector<VstMidiEvent> events;
        for (const auto& e : list) {
            VstMidiEvent m{};
            m.type = kVstMidiType;
            m.byteSize = sizeof(VstMidiEvent);
            m.deltaFrames = e[0];
            m.midiData[0] = static_cast<char>(e[1]);
            m.midiData[1] = static_cast<char>(e[2]);
            m.midiData[2] = static_cast<char>(e[3]);
            events.push_back(m);
        }
        sendMidi(events);
    }
    void sendMidi(std::vector<VstMidiEvent>& events) {
        std::vector<unsigned char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(events.size());
        VstEvent** slots = list->events;  // numEvents slots, not the declared two
        for (std::size_t i = 0; i < events.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&events[i]);
        dispatch(effProcessEvents, 0, 0, list);
    }

    // Renders `frames` frames in calls of `block` frames and checks every
    // sample and the time of every call.
    void render(int frames, int block) {
        if (block <= 0) fail("block size", block);
        left_.assign(static_cast<std::size_t>(block), NAN);
        right_.assign(static_cast<std::size_t>(block), NAN);
        for (int done = 0; done < frames; done += block) {
            const int n = std::min(block, frames - done);
            std::fill(left_.begin(), left_.end(), NAN);  // an unwritten sample shows as NaN
            std::fill(right_.begin(), right_.end(), NAN);
            float* outputs[2] = {left_.data(), right_.data()};
            const double start = threadSeconds();
            effect_->processReplacing(effect_, nullptr, outputs, n);
            const double took = threadSeconds() - start;
            if (took > kMaxSecondsPerCall) fail("process call took milliseconds of processor time", long(took * 1000));
            for (int i = 0; i < n; ++i) {
                checkSample(left_[static_cast<std::size_t>(i)], i);
                checkSample(right_[static_cast<std::size_t>(i)], i);
            }
        }
    }

private:
    static void checkSample(float s, int at) {
        if (!std::isfinite(s)) fail("non-finite sample at frame", at);
        if (s < -1.0f || s > 1.0f) fail("sample beyond full scale at frame", at);
    }

    std::unique_ptr<pelmar> object_;
    AEffect* effect_;
    std::vector<float> left_, right_;
};

}  // namespace fuzzplug

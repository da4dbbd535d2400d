// A tiny instrument built on our VST base layer for testing hosts: it logs
// every effProcessEvents and processReplacing call, and plays a one-sample
// impulse of height velocity / 127 on the left channel at each note-on's
// frame. Note 100 held makes a steady 0.25 on the right channel until its
// note-off; note 126 plays a full-scale sample, note 127 a NaN.
#include <cmath>
#include <cstring>
#include <memory>

#include "tests/render/recording_plugin.h"
#include "vst/AudioEffectX.h"

namespace {

class RecordingPlugin : public AudioEffectX {
public:
    explicit RecordingPlugin(audioMasterCallback master) : AudioEffectX(master, 1, 0) {
        setUniqueID(vstFourCC('r', 'e', 'c', '1'));
        setNumInputs(0);
        setNumOutputs(2);
        isSynth();
        canProcessReplacing();
    }

    VstInt32 processEvents(VstEvents* list) override {
        record({RecordedCall::events, list->numEvents, 0, {}});
        pendingCount_ = 0;
        VstEvent* const* slots = list->events;  // numEvents slots, not the declared two
        for (int i = 0; i < list->numEvents; ++i) {
            const VstEvent* e = slots[i];
            if (e->type != kVstMidiType) continue;
            const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
            RecordedCall call{RecordedCall::events, -1, m->deltaFrames, {}};
            std::memcpy(call.bytes, m->midiData, 3);
            record(call);
            if (pendingCount_ < kMaxPending) pending_[pendingCount_++] = call;
        }
        return 1;
    }

    void processReplacing(float**, float** outputs, VstInt32 frames) override {
        record({RecordedCall::process, frames, 0, {}});
        float* left = outputs[0];
        float* right = outputs[1];
        for (int i = 0; i < frames; ++i) left[i] = 0.0f;
        int next = 0;
        for (int i = 0; i < frames; ++i) {
            for (; next < pendingCount_ && pending_[next].deltaFrames <= i; ++next) apply(pending_[next], left[i]);
            right[i] = humming_ ? 0.25f : 0.0f;
        }
        pendingCount_ = 0;
    }

    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr, void* ptr, float) override {
        if (index != kRecordingLogRequest || !ptr) return 0;
        *static_cast<const RecordingLog**>(ptr) = log_.get();
        return 1;
    }

private:
    void record(const RecordedCall& call) {
        if (log_->count == kRecordingLogCapacity) {
            log_->overflowed = true;
            return;
        }
        log_->calls[log_->count++] = call;
    }

    void apply(const RecordedCall& event, float& sample) {
        const int status = event.bytes[0] & 0xF0;
        const bool on = status == 0x90 && event.bytes[2] != 0;
        const bool off = status == 0x80 || (status == 0x90 && event.bytes[2] == 0);
        if (event.bytes[1] == 100) humming_ = on ? true : (off ? false : humming_);
        if (!on) return;
        if (event.bytes[1] == 126) sample = 1.0f;
        else if (event.bytes[1] == 127) sample = std::nanf("");
        else sample += event.bytes[2] / 127.0f;
    }

    static constexpr int kMaxPending = 4096;
    std::unique_ptr<RecordingLog> log_ = std::make_unique<RecordingLog>();
    RecordedCall pending_[kMaxPending];
    int pendingCount_ = 0;
    bool humming_ = false;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
    if (!master || master(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    return (new RecordingPlugin(master))->getAeffect();
}

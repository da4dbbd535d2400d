// The editor base of a plug-in with a window: it owns the CFrame between the
// host's open and close requests, runs the frame's event handling and
// redrawing in the host's idle calls, passes the host's key requests to the
// focused view and the controls' begin/end of edit to the host.
//
// Values that other threads (the audio thread among them) want shown are
// queued without a lock and applied on the editor's thread in idle.
#pragma once

#include <atomic>
#include <cstdint>

#include "gui/CFrame.h"
#include "vst/AEffEditor.h"

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    // Keeps the host's window; the subclass then builds the frame in it.
    bool open(void* ptr) override;
    // Destroys the frame and every view in it.
    void close() override;
    bool isOpen() override { return frame != nullptr; }
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;

    // Passed to the host as audioMasterBeginEdit/audioMasterEndEdit.
    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);

    CFrame* getFrame() const { return frame; }

    // Safe on any thread, without lock or allocation: remembers the newest
    // value for index (0..kQueueSlots-1; others are ignored) until idle
    // passes it to applyParameter.
    void queueParameter(VstInt32 index, float value);
    static constexpr int kQueueSlots = 256;

protected:
    // Editor thread, from idle while the frame exists: one call per index
    // queued since the last idle, with the newest value.
    virtual void applyParameter(VstInt32 index, float value);
    void applyQueuedParameters();
    void discardQueuedParameters();

    ERect rect{0, 0, 0, 0};
    CFrame* frame = nullptr;

private:
    CFrame* idlingFrame = nullptr;   // the frame an idle call is working on
    CFrame* closingFrame = nullptr;  // closed during that idle, released after it
    static constexpr int kMaskWords = kQueueSlots / 64;
    std::atomic<float> queuedValues[kQueueSlots];
    std::atomic<std::uint64_t> queuedMask[kMaskWords];
};

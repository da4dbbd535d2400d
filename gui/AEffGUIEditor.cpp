#include "gui/AEffGUIEditor.h"

#include <bit>

#include "vst/AudioEffectX.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {
    for (auto& v : queuedValues) v.store(0.0f, std::memory_order_relaxed);
    for (auto& m : queuedMask) m.store(0, std::memory_order_relaxed);
}

AEffGUIEditor::~AEffGUIEditor() {
    // A host may drop the plug-in without closing its window first.
    if (frame) frame->forget();
    if (closingFrame && closingFrame != frame) closingFrame->forget();
    frame = closingFrame = nullptr;
}

bool AEffGUIEditor::getRect(ERect** r) {
    if (!r) return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    // A second open without a close replaces the window instead of leaking it.
    if (frame) {
        frame->forget();
        frame = nullptr;
    }
    AEffEditor::open(ptr);
    // The subclass reads every value afresh while it builds the window.
    discardQueuedParameters();
    return true;
}

void AEffGUIEditor::close() {
    if (frame) {
        // A host that closes the window from inside a callback of idle's own
        // event handling gets it closed once that idle has finished with it.
        if (frame == idlingFrame)
            closingFrame = frame;
        else
            frame->forget();
        frame = nullptr;
    }
    AEffEditor::close();
}

void AEffGUIEditor::idle() {
    // Hosts may call idle again from inside the begin/end-edit callbacks that
    // idle's event handling makes; the nested call has nothing to do.
    if (!frame || idlingFrame) return;
    CFrame* current = idlingFrame = frame;
    applyQueuedParameters();
    if (frame == current) current->idle();
    idlingFrame = nullptr;
    if (closingFrame) {
        closingFrame->forget();
        closingFrame = nullptr;
    }
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return frame && frame->onKeyDown(keyCode) == 1; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return frame && frame->onKeyUp(keyCode) == 1; }

void AEffGUIEditor::beginEdit(VstInt32 index) {
    if (auto* plugin = dynamic_cast<AudioEffectX*>(effect)) plugin->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index) {
    if (auto* plugin = dynamic_cast<AudioEffectX*>(effect)) plugin->endEdit(index);
}

void AEffGUIEditor::queueParameter(VstInt32 index, float value) {
    if (index < 0 || index >= kQueueSlots) return;
    queuedValues[index].store(value, std::memory_order_relaxed);
    // Release: the value is visible to whoever sees the bit.
    queuedMask[index / 64].fetch_or(std::uint64_t{1} << (index % 64), std::memory_order_release);
}

void AEffGUIEditor::applyParameter(VstInt32, float) {}

void AEffGUIEditor::applyQueuedParameters() {
    for (int word = 0; word < kMaskWords; ++word) {
        std::uint64_t bits = queuedMask[word].exchange(0, std::memory_order_acquire);
        while (bits) {
            int bit = std::countr_zero(bits);
            bits &= bits - 1;
            VstInt32 index = word * 64 + bit;
            applyParameter(index, queuedValues[index].load(std::memory_order_relaxed));
        }
    }
}

void AEffGUIEditor::discardQueuedParameters() {
    for (auto& m : queuedMask) m.store(0, std::memory_order_relaxed);
}

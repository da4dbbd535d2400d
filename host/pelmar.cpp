#include "host/pelmar.h"

#include <cstring>

#include "editor/pmgui.h"

pelmar::pelmar(audioMasterCallback audioMaster, int workers) : AudioEffectX(audioMaster, kNumPrograms, 0) {
    setNumInputs(0);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    isSynth(true);
    canProcessReplacing(true);
    setSampleRate(44100.0f);
    setEditor(new pmgui(this));
    programsAreChunks(true);
    threads = new pmThread(workers);
    engineInit();
    curProgram.store(0);
    noteShift = 0;
    sendProgramToEditor();
    dirtyMask.store(kDirtyAll);
    parameterProcess();
    resume();
}

pelmar::~pelmar() { engineFree(); }

pmgui* pelmar::gui() { return static_cast<pmgui*>(editor); }

void pelmar::suspend() { suspended.store(1); }

void pelmar::resume() {
    // A host resumes after changing the rate or jumping elsewhere: sound still
    // in the converter belongs to the old stream.
    rateResetPending.store(true);
    suspended.store(0);
    __wantEventsDeprecated(true);
}

namespace {
void copyText(char* dst, const char* text) { std::strcpy(dst, text); }
}  // namespace

bool pelmar::getEffectName(char* name) {
    copyText(name, "Pelmar-k1");
    return true;
}

bool pelmar::getProductString(char* text) {
    copyText(text, "Pelmar-k1");
    return true;
}

bool pelmar::getVendorString(char* text) {
    copyText(text, "Vordam");
    return true;
}

VstInt32 pelmar::getVendorVersion() { return 105; }

VstPlugCategory pelmar::getPlugCategory() { return kPlugCategSynth; }

VstInt32 pelmar::canDo(char* text) {
    static const char* const supported[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"};
    for (const char* s : supported)
        if (std::strcmp(text, s) == 0) return 1;
    return 0;
}

#include "vst/AudioEffectX.h"

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

void AudioEffectX::__wantEventsDeprecated(bool state) {
    if (audioMaster) audioMaster(&cEffect, audioMasterWantMidi, 0, state ? 1 : 0, nullptr, 0);
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    return audioMaster && audioMaster(&cEffect, audioMasterBeginEdit, index, 0, nullptr, 0) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) {
    return audioMaster && audioMaster(&cEffect, audioMasterEndEdit, index, 0, nullptr, 0) != 0;
}

bool AudioEffectX::ioChanged() {
    return audioMaster && audioMaster(&cEffect, audioMasterIOChanged, 0, 0, nullptr, 0) != 0;
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents:
            return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
        case effCanBeAutomated:
            return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter:
            return (text && string2parameter(index, text)) ? 1 : 0;
        case effGetProgramNameIndexed:
            return (text && getProgramNameIndexed(static_cast<VstInt32>(value), index, text)) ? 1 : 0;
        case effGetInputProperties:
            return (ptr && getInputProperties(index, ptr)) ? 1 : 0;
        case effGetOutputProperties:
            return (ptr && getOutputProperties(index, ptr)) ? 1 : 0;
        case effGetPlugCategory:
            return getPlugCategory();
        case effSetBypass:
            return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName:
            return (text && getEffectName(text)) ? 1 : 0;
        case effGetVendorString:
            return (text && getVendorString(text)) ? 1 : 0;
        case effGetProductString:
            return (text && getProductString(text)) ? 1 : 0;
        case effGetVendorVersion:
            return getVendorVersion();
        case effVendorSpecific:
            return vendorSpecific(index, value, ptr, opt);
        case effCanDo:
            return text ? canDo(text) : 0;
        case effGetTailSize:
            return getGetTailSize();
        case effGetParameterProperties:
            return (ptr && getParameterProperties(index, ptr)) ? 1 : 0;
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key{index, static_cast<unsigned char>(value), static_cast<unsigned char>(opt)};
            bool used = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
            return used ? 1 : 0;
        }
        case effSetEditKnobMode:
            if (!editor) return 0;
            editor->setKnobMode(static_cast<VstInt32>(value));
            return 1;
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, ptr);
        case effBeginSetProgram:
            return beginSetProgram() ? 1 : 0;
        case effEndSetProgram:
            return endSetProgram() ? 1 : 0;
        case effGetSpeakerArrangement:
            // Both arrangement pointers are cleared: this plug-in has no speaker layout to offer.
            if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = nullptr;
            if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = nullptr;
            return 0;
        case effSetTotalSampleToProcess:
            return value;
        case effOfflineNotify:
        case effOfflinePrepare:
        case effOfflineRun:
        case effProcessVarIo:
        case effSetSpeakerArrangement:
        case effGetMidiProgramName:
        case effGetMidiProgramCategory:
        case effHasMidiProgramsChanged:
        case effGetMidiKeyName:
        case effShellGetNextPlugin:
        case effStartProcess:
        case effStopProcess:
        case effSetPanLaw:
        case effBeginLoadBank:
        case effBeginLoadProgram:
        case effSetProcessPrecision:
        case effGetNumMidiInputChannels:
        case effGetNumMidiOutputChannels:
            return 0;
        default:
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

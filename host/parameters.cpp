// The sixteen parameters, addressed by tag (page * 16 + slot).
#include <cstring>

#include "editor/pmgui.h"
#include "host/pelmar.h"
#include "host/shared_value.h"

namespace {
const char* const kParameterNames[kNumParams] = {
    "volume",   "transpose", "tuning",   "unison",    "sustain",   "damper",    "softness",  "hammer pos",
    "bridge pos", "force",   "sharpness", "hardness", "material", "roundness", "velo soft", "velo dynamics",
};
}  // namespace

int tagToIndex(VstInt32 tag) {
    const int page = (tag & 0xF0) >> 4;
    const int slot = tag & 0x0F;
    if (page >= kNumPages) return -1;
    const int index = kfirst[page] + slot;
    return index < kfirst[page + 1] ? index : -1;
}

int indexToTag(int index) {
    int page = 0;
    while (index >= kfirst[page + 1]) ++page;
    return page * 16 + (index - kfirst[page]);
}

void pelmar::setParameter(VstInt32 tag, float value) {
    const int index = tagToIndex(tag);
    if (index < 0) return;
    storeShared(currentProgram().param[index], value);
    dirtyMask.fetch_or(1u << (index + 1));
}

float pelmar::getParameter(VstInt32 tag) {
    const int index = tagToIndex(tag);
    return index < 0 ? 0.0f : loadShared(currentProgram().param[index]);
}

void pelmar::getParameterName(VstInt32 tag, char* text) {
    *text = 0;
    const int index = tagToIndex(tag);
    if (index >= 0) std::strcpy(text, kParameterNames[index]);
}

std::int8_t* pelmar::getParx(VstInt32 tag) {
    const int index = tagToIndex(tag);
    if (index < kfirst[1]) return nullptr;  // invalid, or page 0, which has no key offsets
    return currentProgram().keyOffset[index];
}

void pelmar::sendProgramToEditor() {
    const Program& program = currentProgram();
    for (int index = 0; index < kNumParams; ++index)
        gui()->setParameter(indexToTag(index), loadShared(program.param[index]));
}

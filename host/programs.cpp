// Program selection and names.
#include <cstring>

#include "host/pelmar.h"

namespace {
// Copies a stored name with its terminator; a name that fills all 24 bytes
// (possible in a chunk we did not write) is read as its first 23 characters.
void copyName(char* text, const char* name) {
    const std::size_t n = strnlen(name, kProgramNameSize - 1);
    std::memcpy(text, name, n);
    text[n] = 0;
}
}  // namespace

void pelmar::setProgram(VstInt32 program) {
    if (static_cast<std::uint32_t>(program) >= static_cast<std::uint32_t>(kNumPrograms)) return;
    curProgram.store(program);
    sendProgramToEditor();
    dirtyMask.store(kDirtyAll);
}

void pelmar::setProgramName(char* name) {
    char* stored = currentProgram().name;
    std::strncpy(stored, name, kProgramNameSize - 1);
    stored[kProgramNameSize - 1] = 0;
}

void pelmar::getProgramName(char* name) { copyName(name, currentProgram().name); }

bool pelmar::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(kNumPrograms)) return false;
    copyName(text, programs[index].name);
    return true;
}

// The state chunk: one program record (1496 bytes) or the whole bank
// (14960 bytes), byte for byte as held in memory, with no header.
#include <cstring>

#include "host/pelmar.h"
#include "host/shared_value.h"

namespace {
// Copies a program record from host memory (of any alignment) into the bank.
// The render thread may be reading the values at the same time, so every
// value it reads is stored as one word.
void storeProgram(Program& dst, const unsigned char* src) {
    for (int i = 0; i < kNumParams; ++i) {
        float value;
        std::memcpy(&value, src + sizeof(float) * i, sizeof(float));
        storeShared(dst.param[i], value);
    }
    const unsigned char* offsets = src + offsetof(Program, keyOffset);
    for (int i = 0; i < kNumParams; ++i)
        for (int k = 0; k < kNumKeys; ++k)
            storeShared(dst.keyOffset[i][k], static_cast<std::int8_t>(offsets[i * kNumKeys + k]));
    std::memmove(dst.name, src + offsetof(Program, name), kProgramNameSize);  // src may be our own record
}

// Copies a program of the bank for the host, reading every value the render
// thread may write as one word.
void saveProgram(Program& dst, const Program& src) {
    for (int i = 0; i < kNumParams; ++i) dst.param[i] = loadShared(src.param[i]);
    for (int i = 0; i < kNumParams; ++i)
        for (int k = 0; k < kNumKeys; ++k) dst.keyOffset[i][k] = loadShared(src.keyOffset[i][k]);
    std::memcpy(dst.name, src.name, kProgramNameSize);
}
}  // namespace

// The host copies the chunk as plain bytes on its thread; the copy it gets
// is one the audio thread never writes, valid until the next getChunk.
VstInt32 pelmar::getChunk(void** data, bool isPreset) {
    if (isPreset) {
        saveProgram(savedProgram, currentProgram());
        *data = &savedProgram;
        return kProgramChunkSize;
    }
    for (int p = 0; p < kNumPrograms; ++p) saveProgram(savedBank[p], programs[p]);
    *data = savedBank;
    return kBankChunkSize;
}

VstInt32 pelmar::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    const VstInt32 expected = isPreset ? kProgramChunkSize : kBankChunkSize;
    if (!data || byteSize != expected) return 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (isPreset) {
        storeProgram(currentProgram(), bytes);
    } else {
        for (int p = 0; p < kNumPrograms; ++p) storeProgram(programs[p], bytes + p * kProgramChunkSize);
    }
    setProgram(getProgram());
    return byteSize;
}

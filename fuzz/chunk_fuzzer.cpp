// State chunks of any size and content, as a program or as a bank, loaded
// through effSetChunk; then every key is struck and the plug-in renders.
//
// Input: one flags byte (bit 0: isPreset; bits 4..7: the program selected
// before loading), then the chunk itself.
#include "fuzz/fuzz_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzplug::Bytes in(data, size);
    const std::uint8_t flags = in.u8();
    const bool isPreset = flags & 1;
    const int program = (flags >> 4) % kNumPrograms;
    // The chunk in a buffer of exactly its size, so any read past it is caught.
    std::vector<std::uint8_t> chunk(in.rest(), in.rest() + in.restSize());
    const auto byteSize = static_cast<VstIntPtr>(chunk.size());

    fuzzplug::Plugin plugin;
    plugin.dispatch(effSetProgram, 0, program);
    const VstIntPtr expected = isPreset ? kProgramChunkSize : kBankChunkSize;
    const VstIntPtr accepted = plugin.dispatch(effSetChunk, isPreset ? 1 : 0, byteSize, chunk.data());
    if (accepted != (byteSize == expected ? byteSize : 0)) fuzzplug::fail("setChunk answered", long(accepted));

    // What was accepted comes back byte for byte.
    if (accepted) {
        void* stored = nullptr;
        const VstIntPtr storedSize = plugin.dispatch(effGetChunk, isPreset ? 1 : 0, 0, &stored);
        if (storedSize != byteSize || std::memcmp(stored, chunk.data(), chunk.size()) != 0)
            fuzzplug::fail("chunk does not read back as loaded, size", long(storedSize));
    }

    // Every MIDI note, so that every key sounds whatever transposition the
    // chunk holds; loud and soft strikes, the pedal, releases.
    std::vector<VstMidiEvent> notes;
    for (int note = 0; note < 128; ++note) {
        VstMidiEvent e{};
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = note % 64;
        e.midiData[0] = static_cast<char>(0x90);
        e.midiData[1] = static_cast<char>(note);
        e.midiData[2] = static_cast<char>(note % 2 ? 127 : 1 + note % 100);
        notes.push_back(e);
    }
    plugin.sendMidi(notes);
    plugin.render(512, 128);
    plugin.midi({{0, 0xB0, 64, 127}, {10, 0x80, 60, 0}, {20, 0xB0, 64, 0}});
    plugin.render(256, 256);
    // A program switch re-maps every coefficient from the loaded values.
    plugin.dispatch(effSetProgram, 0, (program + 1) % kNumPrograms);
    plugin.dispatch(effSetProgram, 0, program);
    plugin.render(200, 100);
    return 0;
}

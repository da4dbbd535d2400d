// Rendering on the audio thread while another thread does what a host's
// user-interface thread does: switch programs, load state chunks, change
// parameters and key offsets as the editor does. Under ThreadSanitizer these
// prove that nothing races; in every build the sound stays finite, within
// full scale and audible, and the state ends as the last edit left it.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "host/shared_value.h"
#include "support/plugin_fixture.h"

namespace {

using testplug::EventList;

struct Outcome {
    int edits = 0;       // edits made while the audio thread rendered
    float peak = 0.0f;
    bool sane = true;    // every sample finite and within full scale
};

// Renders half a second in blocks of 256 frames, with notes and MIDI volume
// changes coming in, while `edit(i)` runs over and over on another thread;
// on, if need be, until the editor's thread has had its turn a few times
// (a fast render on a busy machine can be over before it is scheduled again).
Outcome renderWhile(pelmar& plugin, const std::function<void(int)>& edit) {
    std::atomic<bool> stop{false};
    std::atomic<int> edits{0};
    std::thread editor([&] {
        for (int i = 0; !stop.load(); ++i) {
            edit(i);
            edits.fetch_add(1);
            std::this_thread::yield();
        }
    });
    while (edits.load() == 0) std::this_thread::yield();  // both threads are at work from here on
    Outcome out;
    std::vector<float> left(256), right(256);
    float* outputs[2] = {left.data(), right.data()};
    EventList events;
    for (int block = 0; block < 86 || (edits.load() < 3 && block < 20000); ++block) {
        if (block < 86 && block % 8 == 0) events.noteOn(block % 200, 30 + block % 50, 110).noteOn(77, 60, 90);
        if (block < 86 && block % 8 == 4) events.midi(13, 0xB0, 7, 60 + block % 60).pedal(100, block % 16 == 4);
        events.sendTo(plugin);
        plugin.processReplacing(nullptr, outputs, 256);
        for (int i = 0; i < 256; ++i) {
            for (float s : {left[i], right[i]}) {
                out.sane = out.sane && std::isfinite(s) && std::fabs(s) <= 1.0f;
                out.peak = std::max(out.peak, std::fabs(s));
            }
        }
    }
    stop.store(true);
    editor.join();
    out.edits = edits.load();
    return out;
}

std::vector<unsigned char> chunkOf(pelmar& plugin, bool isPreset) {
    void* data = nullptr;
    const VstInt32 size = plugin.getChunk(&data, isPreset);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

void expectSound(const Outcome& out) {
    EXPECT_GT(out.edits, 1);
    EXPECT_TRUE(out.sane);
    EXPECT_GT(out.peak, 1e-3f);
}

TEST(RenderWhileEditing, ProgramSwitchesFromAnotherThread) {
    auto p = testplug::make(2);
    int last = 0;
    const Outcome out = renderWhile(*p, [&](int i) {
        last = (i * 7) % kNumPrograms;
        p->setProgram(last);
        char name[kVstMaxProgNameLen + 1];
        p->getProgramName(name);
    });
    expectSound(out);
    EXPECT_EQ(p->getProgram(), last);
    // The last switch reached the engine: once the next block has mapped the
    // values, the coefficients are those of a plug-in that only ever played
    // that program.
    auto fresh = testplug::make(1);
    fresh->setProgram(last);
    testplug::render(*p, 64);
    testplug::render(*fresh, 64);
    EXPECT_EQ(std::memcmp(p->dampHold, fresh->dampHold, sizeof p->dampHold), 0);
    EXPECT_EQ(std::memcmp(p->stiff2, fresh->stiff2, sizeof p->stiff2), 0);
    EXPECT_EQ(std::memcmp(p->hammerPoint, fresh->hammerPoint, sizeof p->hammerPoint), 0);
    EXPECT_EQ(std::memcmp(p->forceLen, fresh->forceLen, sizeof p->forceLen), 0);
}

TEST(RenderWhileEditing, ChunksLoadedFromAnotherThread) {
    // A program and a bank saved from another instance with other values.
    auto source = testplug::make(1);
    source->setProgram(4);
    source->setParameter(0x10, 0.9f);  // sustain
    source->setParameter(0x22, 0.1f);  // hardness
    source->getParx(0x10)[30] = 100;
    const std::vector<unsigned char> program = chunkOf(*source, true);
    const std::vector<unsigned char> bank = chunkOf(*source, false);

    auto p = testplug::make(2);
    p->setProgram(2);
    std::vector<unsigned char> buffer;
    const Outcome out = renderWhile(*p, [&](int i) {
        // The host's buffer lives only for the call, as in a project load.
        buffer = i % 2 ? bank : program;
        const bool isPreset = i % 2 == 0;
        EXPECT_EQ(p->setChunk(buffer.data(), static_cast<VstInt32>(buffer.size()), isPreset),
                  static_cast<VstInt32>(buffer.size()));
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        if (i % 5 == 4) p->setProgram(i % kNumPrograms);
    });
    expectSound(out);
    // The last bank load put the saved program 4 in slot 4, volume aside (the
    // audio thread's MIDI volume changes it).
    p->setProgram(4);
    std::vector<unsigned char> loaded = chunkOf(*p, true);
    std::vector<unsigned char> expected = program;
    std::memcpy(expected.data(), loaded.data(), sizeof(float));  // the volume
    EXPECT_EQ(loaded, expected);
}

TEST(RenderWhileEditing, StateSavedFromAnotherThreadWhileMidiVolumeArrives) {
    // A host saving its project while playing: it copies the chunks on its
    // thread while the audio thread stores MIDI volume changes.
    auto p = testplug::make(2);
    std::vector<unsigned char> bank, program;
    const Outcome out = renderWhile(*p, [&](int) {
        bank = chunkOf(*p, false);
        program = chunkOf(*p, true);
    });
    expectSound(out);
    ASSERT_EQ(bank.size(), static_cast<std::size_t>(kBankChunkSize));
    ASSERT_EQ(program.size(), static_cast<std::size_t>(kProgramChunkSize));
    // The last volume change (block 84: 84 / 127) is in the next chunk taken.
    program = chunkOf(*p, true);
    float volume;
    std::memcpy(&volume, program.data(), sizeof volume);
    EXPECT_EQ(volume, 84.0f / 127.0f);
}

TEST(RenderWhileEditing, EditorParametersAndKeyOffsetsFromAnotherThread) {
    auto p = testplug::make(2);
    const Outcome out = renderWhile(*p, [&](int i) {
        // What the editor does on its thread: sliders, painted key offsets
        // (one atomic word each), a keyboard key, a value read back. The
        // values stay within 0.3..0.9, where every setting is heard (a force
        // of 0, for one, would silence the strikes).
        p->setParameter(0x10 + i % 7, 0.3f + 0.6f * static_cast<float>(i % 50) / 50.0f);
        p->setParameter(0x20 + i % 7, 0.3f + 0.6f * static_cast<float>(i % 40) / 40.0f);
        storeShared(p->getParx(0x11 + i % 6)[i % kNumKeys], static_cast<std::int8_t>(i % 255 - 127));
        p->setNote((i * 13) % kNumKeys, true);
        static_cast<void>(p->getParameter(0x00));
    });
    expectSound(out);
}

}  // namespace

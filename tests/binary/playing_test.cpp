// A host that loads pelmar-k1.so and sends MIDI hears the piano.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tools/vsthost/event_list.h"
#include "tools/vsthost/plugin_host.h"

namespace {

struct Block {
    std::vector<float> left, right;
};

class HostedPiano {
public:
    explicit HostedPiano(float rate = 44100.0f) : plugin(std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH)) {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin.dispatch(effSetBlockSize, 0, 512);
        plugin.dispatch(effMainsChanged, 0, 1);
    }
    void send(const std::vector<VstMidiEvent>& midi) {
        vsthost::EventList list;
        for (const VstMidiEvent& e : midi) list.midi(e.deltaFrames, static_cast<unsigned char>(e.midiData[0]), e.midiData[1], e.midiData[2]);
        EXPECT_EQ(plugin.dispatch(effProcessEvents, 0, 0, list.get()), 1);
    }
    Block render(int frames) {
        Block out{std::vector<float>(frames), std::vector<float>(frames)};
        for (int done = 0; done < frames; done += 512)
            plugin.process(out.left.data() + done, out.right.data() + done, std::min(512, frames - done));
        return out;
    }
    vsthost::PluginInstance plugin;
};

VstMidiEvent midi(int frame, int status, int data1, int data2) { return vsthost::midiEvent(frame, status, data1, data2); }

double rms(const std::vector<float>& v, std::size_t from, std::size_t n) {
    double s = 0.0;
    for (std::size_t i = from; i < from + n; ++i) s += double(v[i]) * v[i];
    return std::sqrt(s / n);
}

TEST(Playing, NotesSoundInStereoAndDieAwayAfterRelease) {
    HostedPiano piano;
    piano.send({midi(0, 0x90, 60, 100), midi(0, 0x90, 64, 90), midi(0, 0x90, 67, 80), midi(11025, 0x80, 60, 0),
                midi(11025, 0x80, 64, 0), midi(11025, 0x80, 67, 0)});
    Block out = piano.render(44100 * 3);
    for (std::size_t i = 0; i < out.left.size(); ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::fabs(out.left[i]) <= 1.0f && std::isfinite(out.right[i]));
    const double held = rms(out.left, 2205, 4410);
    EXPECT_GT(held, 1e-3);
    EXPECT_NE(out.left, out.right) << "two pickups two points apart";
    EXPECT_LT(rms(out.left, 44100 * 2, 4410), held / 20) << "released keys are damped";
}

TEST(Playing, AHostAt48kHearsTheNoteAfterTheReportedDelay) {
    HostedPiano piano(48000.0f);
    const VstInt32 delay = piano.plugin.effect()->initialDelay;
    EXPECT_GT(delay, 0);
    bool told = false;
    for (const vsthost::HostCall& c : piano.plugin.calls) told |= c.opcode == audioMasterIOChanged;
    EXPECT_TRUE(told) << "the host learns of the new delay";
    piano.send({midi(1000, 0x90, 69, 100)});
    Block out = piano.render(48000);
    for (std::size_t i = 0; i < out.left.size(); ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::fabs(out.left[i]) <= 1.0f && std::isfinite(out.right[i]));
    EXPECT_EQ(rms(out.left, 0, 1000), 0.0) << "nothing before the note";
    EXPECT_GT(rms(out.left, 4800, 4800), 1e-3);
}

TEST(Playing, PedalKeepsReleasedNotesRinging) {
    auto tail = [](bool pedal) {
        HostedPiano piano;
        std::vector<VstMidiEvent> ev{midi(0, 0x90, 48, 100), midi(4410, 0x80, 48, 0)};
        if (pedal) ev.insert(ev.begin(), midi(0, 0xB0, 64, 127));
        piano.send(ev);
        Block out = piano.render(44100);
        return rms(out.left, 33075, 4410);
    };
    EXPECT_GT(tail(true), 1.8 * tail(false));
}

TEST(Playing, VolumeControllerAndProgramsChangeTheSound) {
    HostedPiano loud;
    HostedPiano quiet;
    quiet.send({midi(0, 0xB0, 7, 20)});
    for (HostedPiano* p : {&loud, &quiet}) p->send({midi(0, 0x90, 72, 100)});
    EXPECT_GT(rms(loud.render(8820).left, 0, 8820), 2.0 * rms(quiet.render(8820).left, 0, 8820));

    HostedPiano bright;
    HostedPiano pling;
    pling.plugin.dispatch(effSetProgram, 0, 3);
    for (HostedPiano* p : {&bright, &pling}) p->send({midi(0, 0x90, 60, 100)});
    EXPECT_NE(bright.render(4410).left, pling.render(4410).left);
}

}  // namespace

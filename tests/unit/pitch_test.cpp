// A struck key sounds at its pitch: measured on the rendered mix of both
// strings (which beat against each other through the unison detune).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/pitch_estimate.h"
#include "support/plugin_fixture.h"

namespace {

using testpitch::measurePitch;

std::vector<float> strikeAndRender(int note, int velocity, int frames) {
    auto p = testplug::make(1);
    testplug::EventList().noteOn(0, note, velocity).sendTo(*p);
    testplug::Stereo out = testplug::render(*p, frames);
    std::vector<float> mix(out.left.size());
    for (std::size_t i = 0; i < mix.size(); ++i) mix[i] = out.left[i] + out.right[i];
    return mix;
}

TEST(Pitch, KeyFortyEightOfTheFirstProgramIsConcertA) {
    std::vector<float> mix = strikeAndRender(69, 100, 44100);
    const double hz = measurePitch(mix, 4410, 22050, 440.0);
    EXPECT_NEAR(hz, 440.0, 4.4) << "within 1 %";
}

TEST(Pitch, KeysAcrossTheKeyboardSoundAtTheirPitch) {
    for (int key : {12, 30, 60, 75, 84}) {
        const double expected = 440.0 * std::pow(2.0, (key - 48) / 12.0);
        std::vector<float> mix = strikeAndRender(key + 21, 100, 44100);
        const double hz = measurePitch(mix, 4410, 22050, expected);
        EXPECT_NEAR(hz / expected, 1.0, 0.015) << "key " << key << ": " << hz << " Hz";
    }
}

TEST(Pitch, StruckNoteDecaysAndFallsSilentByItself) {
    auto p = testplug::make(1);
    p->setParameter(0x12, 0.3f);  // short sustain
    testplug::EventList().noteOn(0, 84, 100).noteOff(2000, 84).sendTo(*p);
    testplug::Stereo out = testplug::render(*p, 44100 * 4);
    auto rms = [&](std::size_t from, std::size_t n) {
        double s = 0.0;
        for (std::size_t i = from; i < from + n; ++i) s += double(out.left[i]) * out.left[i];
        return std::sqrt(s / n);
    };
    EXPECT_GT(rms(0, 2000), 10.0 * rms(22050, 2000));
    EXPECT_EQ(p->keyActive[63], 0) << "the key left the computation";
}

TEST(Pitch, LouderVelocityGivesALouderNote) {
    auto energy = [](int velocity) {
        std::vector<float> mix = strikeAndRender(60, velocity, 8820);
        double s = 0.0;
        for (float v : mix) s += double(v) * v;
        return s;
    };
    EXPECT_GT(energy(110), energy(40) * 2.0);
}

}  // namespace

// The host's sample rate: the model always runs at 44100 Hz and its output is
// converted to the host's rate, so pitch and timing are the same at every
// rate; at 44100 Hz the output is the model's own, bit for bit.
#include <gtest/gtest.h>
#include <samplerate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/alloc_counter.h"
#include "support/fake_host.h"
#include "support/pitch_estimate.h"
#include "support/plugin_fixture.h"

namespace {

using testplug::Stereo;

struct TimedEvent {
    long frame;  // host frames from the start of the render
    int status, data1, data2;
};

using Renderer = void (pelmar::*)(float**, float**, VstInt32);

// Renders `frames` host frames in blocks whose lengths cycle through `blocks`;
// each event is sent before the block it falls in, at its offset there.
Stereo renderWith(pelmar& p, const std::vector<TimedEvent>& events, long frames, std::vector<int> blocks = {512},
                  Renderer render = &pelmar::processReplacing) {
    Stereo out;
    out.left.resize(static_cast<std::size_t>(frames));
    out.right.resize(static_cast<std::size_t>(frames));
    std::size_t next = 0;
    for (long pos = 0, b = 0; pos < frames; ++b) {
        const long n = std::min<long>(blocks[b % blocks.size()], frames - pos);
        testplug::EventList list;
        for (; next < events.size() && events[next].frame < pos + n; ++next) {
            const TimedEvent& e = events[next];
            list.midi(static_cast<int>(e.frame - pos), e.status, e.data1, e.data2);
        }
        list.sendTo(p);
        float* outputs[2] = {out.left.data() + pos, out.right.data() + pos};
        (p.*render)(nullptr, outputs, static_cast<VstInt32>(n));
        pos += n;
    }
    return out;
}

std::vector<float> mono(const Stereo& s) {
    std::vector<float> m(s.left.size());
    for (std::size_t i = 0; i < m.size(); ++i) m[i] = s.left[i] + s.right[i];
    return m;
}

std::unique_ptr<pelmar> pluginAt(float rate, int workers = 1) {
    auto p = testplug::make(workers);
    p->setSampleRate(rate);
    return p;
}

// Where |x| first reaches `level`, between samples by linear interpolation.
double onset(const std::vector<float>& x, float level, std::size_t from = 0) {
    for (std::size_t i = std::max<std::size_t>(from, 1); i < x.size(); ++i) {
        const float a = std::fabs(x[i - 1]), b = std::fabs(x[i]);
        if (b >= level) return static_cast<double>(i - 1) + (level - a) / (b - a);
    }
    return -1.0;
}

float peak(const std::vector<float>& x) {
    float m = 0.0f;
    for (float v : x) m = std::max(m, std::fabs(v));
    return m;
}

constexpr int kNoteOn = 0x90;
constexpr int kNoteOff = 0x80;
constexpr int kControl = 0xB0;
constexpr int kConcertA = 69;  // key 48

// --- Pitch -------------------------------------------------------------------

TEST(SampleRate, KeyFortyEightSoundsAtTheSamePitchAtEveryRate) {
    auto pitchAt = [](float rate) {
        auto p = pluginAt(rate);
        const std::vector<float> mix = mono(renderWith(*p, {{0, kNoteOn, kConcertA, 100}}, static_cast<long>(rate)));
        return testpitch::measurePitch(mix, static_cast<std::size_t>(rate * 0.1), static_cast<std::size_t>(rate * 0.5),
                                       440.0, rate);
    };
    const double reference = pitchAt(44100.0f);
    EXPECT_NEAR(reference, 440.0, 4.4);
    for (float rate : {48000.0f, 88200.0f, 96000.0f, 22050.0f, 192000.0f}) {
        const double hz = pitchAt(rate);
        EXPECT_NEAR(hz / reference, 1.0, 0.001) << rate << " Hz: " << hz << " Hz against " << reference;
    }
}

// --- 44100 Hz is the model's own output ----------------------------------------

TEST(SampleRate, At44100TheOutputIsTheModelsOwnBitForBit) {
    const std::vector<TimedEvent> phrase = {{0, kControl, 64, 127}, {100, kNoteOn, 60, 90}, {700, kNoteOn, 64, 70},
                                            {1300, kNoteOn, 67, 110}, {2000, kNoteOff, 60, 0}, {2600, kControl, 64, 0}};
    auto viaHost = testplug::make(1);
    const Stereo host = renderWith(*viaHost, phrase, 6000, {512, 100, 1024});

    // The model renderer called directly, with the same events and blocks.
    auto direct = testplug::make(1);
    const Stereo model = renderWith(*direct, phrase, 6000, {512, 100, 1024}, &pelmar::renderModelRate);
    EXPECT_EQ(0, std::memcmp(host.left.data(), model.left.data(), sizeof(float) * 6000));
    EXPECT_EQ(0, std::memcmp(host.right.data(), model.right.data(), sizeof(float) * 6000));
    EXPECT_GT(peak(host.left), 0.01f) << "the phrase sounds";

    // Back to 44100 Hz after another rate: the same bits and no delay again.
    auto returned = pluginAt(48000.0f);
    returned->setSampleRate(44100.0f);
    EXPECT_EQ(returned->getAeffect()->initialDelay, 0);
    const Stereo again = renderWith(*returned, phrase, 6000, {512, 100, 1024});
    EXPECT_EQ(0, std::memcmp(host.left.data(), again.left.data(), sizeof(float) * 6000));
    EXPECT_EQ(0, std::memcmp(host.right.data(), again.right.data(), sizeof(float) * 6000));
}

// --- Conversion matches an offline conversion of the model's output ---------------

TEST(SampleRate, At48kTheOutputIsThe44kRenderingConvertedOffline) {
    // 160 frames at 48 kHz are 147 at 44.1 kHz: events on such frames fall on
    // the same model frames in both renderings.
    const std::vector<long> at48 = {0, 160 * 7, 160 * 40, 160 * 41, 160 * 90, 160 * 150};
    const std::vector<std::array<int, 3>> midi = {{kControl, 64, 127}, {kNoteOn, 60, 90}, {kNoteOn, 64, 70},
                                                  {kNoteOn, 67, 110}, {kNoteOff, 60, 0}, {kControl, 64, 0}};
    std::vector<TimedEvent> phrase48, phrase44;
    for (std::size_t i = 0; i < at48.size(); ++i) {
        phrase48.push_back({at48[i], midi[i][0], midi[i][1], midi[i][2]});
        phrase44.push_back({at48[i] / 160 * 147, midi[i][0], midi[i][1], midi[i][2]});
    }
    auto p44 = testplug::make(1);
    const Stereo model = renderWith(*p44, phrase44, 44100);
    auto p48 = pluginAt(48000.0f);
    const int delay = p48->getAeffect()->initialDelay;
    const Stereo host = renderWith(*p48, phrase48, 48000 + delay, {512, 300});

    std::vector<float> interleaved(2 * 44100), converted(2 * 48000 + 64);
    for (int i = 0; i < 44100; ++i) {
        interleaved[2 * i] = model.left[i];
        interleaved[2 * i + 1] = model.right[i];
    }
    SRC_DATA data{};
    data.data_in = interleaved.data();
    data.input_frames = 44100;
    data.data_out = converted.data();
    data.output_frames = 48000 + 32;
    data.src_ratio = 48000.0 / 44100.0;
    ASSERT_EQ(src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 2), 0);
    ASSERT_GT(data.output_frames_gen, 47000);

    const std::size_t n = 47000;
    double xy = 0, xx = 0, yy = 0;
    std::vector<float> offline(n), live(n);
    for (std::size_t i = 0; i < n; ++i) {
        offline[i] = converted[2 * i] + converted[2 * i + 1];
        live[i] = host.left[i + delay] + host.right[i + delay];
        xy += double(offline[i]) * live[i];
        xx += double(offline[i]) * offline[i];
        yy += double(live[i]) * live[i];
    }
    EXPECT_GT(xy / std::sqrt(xx * yy), 0.999);
    for (std::size_t i = 0; i < static_cast<std::size_t>(delay); ++i) ASSERT_EQ(host.left[i], 0.0f) << "latency is silent";
    // Each note's onset in the same place.
    const float level = 0.02f * peak(offline);
    for (std::size_t k = 1; k <= 3; ++k) {
        const auto from = static_cast<std::size_t>(at48[k]);
        EXPECT_NEAR(onset(live, level, from), onset(offline, level, from), 1.0) << "note " << k;
    }
}

// --- Event timing ----------------------------------------------------------------

// Onset of key 48 struck at host frame `at` (sent with the block it falls in,
// or ahead of its block when `early`), rendered in blocks of `blocks`.
double onsetOfStrikeAt(float rate, long at, std::vector<int> blocks, bool early = false) {
    auto p = pluginAt(rate);
    std::vector<TimedEvent> events;
    if (early) {
        testplug::EventList().noteOn(static_cast<int>(at), kConcertA, 100).sendTo(*p);
    } else {
        events.push_back({at, kNoteOn, kConcertA, 100});
    }
    const std::vector<float> mix = mono(renderWith(*p, events, at + 4000, std::move(blocks)));
    return onset(mix, 0.01f);
}

TEST(SampleRate, NotesStartWithinOneSampleOfTheirFrameAt48k) {
    auto p44 = testplug::make(1);
    const double onset44 = onset(mono(renderWith(*p44, {{0, kNoteOn, kConcertA, 100}}, 4000)), 0.01f);
    const int delay = pluginAt(48000.0f)->getAeffect()->initialDelay;
    const double at0 = onsetOfStrikeAt(48000.0f, 0, {512});
    ASSERT_GT(onset44, 0.0);
    // The model's onset, at the host's rate, after the reported delay.
    EXPECT_NEAR(at0, onset44 * 48000.0 / 44100.0 + delay, 1.0);

    const struct {
        long at;
        std::vector<int> blocks;
        bool early;
    } cases[] = {
        {100, {512}, false},            // first half of a block
        {450, {512}, false},            // second half
        {511, {512}, false},            // last frame of a block
        {512 * 3 + 400, {512}, false},  // a later block
        {1000, {333, 64, 1024}, false}, // blocks of varying length
        {1777, {512}, true},            // sent ahead: queued across blocks
        {5000, {4096}, false},          // a block longer than the host said
        {300, {1, 7}, false},           // blocks of a frame or a few
    };
    for (const auto& c : cases)
        EXPECT_NEAR(onsetOfStrikeAt(48000.0f, c.at, c.blocks, c.early) - static_cast<double>(c.at), at0, 1.0)
            << "struck at " << c.at;
}

TEST(SampleRate, ResumeStartsTheConversionAfreshAndKeepsTheTiming) {
    auto p = pluginAt(48000.0f);
    const int delay = p->getAeffect()->initialDelay;
    renderWith(*p, {{0, kNoteOn, 60, 100}, {2000, kControl, 123, 0}}, 3000);  // played, then all notes off
    p->suspend();
    p->resume();
    const std::vector<float> after = mono(renderWith(*p, {{700, kNoteOn, kConcertA, 100}}, 6000));
    for (int i = 0; i < delay; ++i) ASSERT_EQ(after[i], 0.0f) << "the delay's silence starts again";
    EXPECT_NEAR(onset(after, 0.01f) - 700.0, onsetOfStrikeAt(48000.0f, 0, {512}), 1.0)
        << "the first strike after resuming starts where the host placed it";
}

// --- Rate changes and the reported delay ---------------------------------------

TEST(SampleRate, ReportsTheConvertersDelayAndTellsTheHostWhenItChanges) {
    auto p = testplug::make(1);
    EXPECT_EQ(p->getAeffect()->initialDelay, 0);
    auto ioChanges = [] {
        return std::count_if(testhost::calls().begin(), testhost::calls().end(),
                             [](const vsthost::HostCall& c) { return c.opcode == audioMasterIOChanged; });
    };
    testhost::reset();
    p->setSampleRate(48000.0f);
    const int delay48 = p->getAeffect()->initialDelay;
    EXPECT_GT(delay48, 0);
    EXPECT_LT(delay48, 48000 / 200) << "under 5 ms: played live";
    EXPECT_EQ(ioChanges(), 1);

    p->setSampleRate(48000.0f);
    p->setBlockSize(256);
    EXPECT_EQ(ioChanges(), 1) << "no change, no call";
    EXPECT_EQ(p->getAeffect()->initialDelay, delay48);

    p->dispatcher(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_GT(p->getAeffect()->initialDelay, delay48);
    EXPECT_EQ(ioChanges(), 2);

    p->setSampleRate(44100.0f);
    EXPECT_EQ(p->getAeffect()->initialDelay, 0);
    EXPECT_EQ(ioChanges(), 3);
}

TEST(SampleRate, RefusedRatesKeepTheLastGoodRateAndDelay) {
    auto p = pluginAt(48000.0f);
    const int delay = p->getAeffect()->initialDelay;
    testhost::reset();
    for (float rate : {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), 1000.0f, 400000.0f, 22049.0f, 192001.0f}) {
        p->dispatcher(effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(p->getSampleRate(), 48000.0f) << rate;
        EXPECT_EQ(p->getAeffect()->initialDelay, delay) << rate;
    }
    EXPECT_TRUE(testhost::calls().empty());
    // Still converting at the kept rate.
    EXPECT_NEAR(onsetOfStrikeAt(48000.0f, 0, {512}), onset(mono(renderWith(*p, {{0, kNoteOn, kConcertA, 100}}, 4000)), 0.01f), 1.0);
}

TEST(SampleRate, HostileBlocksGiveFiniteLimitedSamplesAtEveryRate) {
    for (float rate : {22050.0f, 48000.0f, 192000.0f}) {
        auto p = pluginAt(rate, 2);
        p->setBlockSize(256);
        testplug::EventList events;
        for (int i = 0; i < 88; ++i) events.noteOn(i * 3, 21 + i, 127);
        events.noteOn(-50, 60, 100).noteOn(1 << 30, 61, 100).sendTo(*p);
        std::vector<float> l(20000, 7.0f), r(20000, 7.0f);
        float* outputs[2] = {l.data(), r.data()};
        for (VstInt32 n : {0, -5, 1, 255, 256, 257, 20000, 3}) {
            p->processReplacing(nullptr, outputs, n);
            for (VstInt32 i = 0; i < std::max(n, 0); ++i)
                ASSERT_TRUE(std::isfinite(l[i]) && std::fabs(l[i]) <= 1.0f && std::fabs(r[i]) <= 1.0f)
                    << rate << " Hz, block " << n << ", frame " << i;
        }
        EXPECT_GT(peak(l), 0.0f) << rate << " Hz: the chord sounds";
        float* missing[2] = {nullptr, r.data()};
        p->processReplacing(nullptr, missing, 64);
    }
}

// --- No allocation on the audio thread ------------------------------------------

TEST(SampleRate, CountsTheCLibrarysAllocationsToo) {
    const std::int64_t before = alloccount::cAllocations();
    void* volatile block = std::malloc(32);
    void* volatile zeroed = std::calloc(4, 8);
    void* volatile grown = std::realloc(block, 4096);
    EXPECT_EQ(alloccount::cAllocations(), before + 3);
    std::free(grown);
    std::free(zeroed);
    // A shared library's own calls are seen as well.
    int error = 0;
    const std::int64_t beforeLibrary = alloccount::any();
    SRC_STATE* state = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &error);
    EXPECT_GT(alloccount::any(), beforeLibrary);
    src_delete(state);
}

TEST(SampleRate, ConvertingAllocatesNothingAfterWarmUpForAnyBlockLength) {
    auto p = pluginAt(48000.0f, 2);
    p->setBlockSize(1024);
    std::vector<float> l(5000), r(5000);
    float* outputs[2] = {l.data(), r.data()};
    testplug::EventList burst;
    for (int i = 0; i < 40; ++i) burst.noteOn(i * 9, 30 + i, 90).pedal(i * 9 + 3, i % 2 == 0);
    burst.noteOff(100, 50).midi(200, 0xB0, 7, 90);
    VstEvents* events = burst.get();
    auto play = [&] {
        for (VstInt32 n : {1, 17, 1024, 1000, 5000, 64, 511, 2048, 3}) {
            p->processEvents(events);
            p->processReplacing(nullptr, outputs, n);
        }
        p->suspend();
        p->resume();
        p->processEvents(events);
        p->processReplacing(nullptr, outputs, 777);
    };
    // Warm-up: event records for a longer queue than the blocks below build.
    for (int i = 0; i < 10; ++i) p->processEvents(events);
    p->processReplacing(nullptr, outputs, 5000);
    play();
    const std::int64_t before = alloccount::any();
    const std::int64_t beforeC = alloccount::cAllocations();
    play();
    EXPECT_EQ(alloccount::cAllocations(), beforeC);
    EXPECT_EQ(alloccount::any(), before);
    EXPECT_GT(peak(l), 0.0f);
}

}  // namespace

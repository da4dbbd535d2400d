#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "support/alloc_counter.h"
#include "support/plugin_fixture.h"

namespace {

using testplug::EventList;
using testplug::Stereo;

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

float peak(const std::vector<float>& v, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    float m = 0.0f;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) m = std::max(m, std::fabs(v[i]));
    return m;
}

TEST(Render, NoteStartsOnItsExactFrame) {
    auto early = testplug::make();
    auto late = testplug::make();
    EventList().noteOn(0, 69, 100).sendTo(*early);
    EventList().noteOn(100, 69, 100).sendTo(*late);
    Stereo a = testplug::render(*early, 2048);
    Stereo b = testplug::render(*late, 2048);
    EXPECT_EQ(peak(b.left, 0, 100), 0.0f);
    EXPECT_GT(peak(a.left), 0.0f);
    for (int f = 0; f + 100 < 2048; ++f) {
        ASSERT_EQ(b.left[f + 100], a.left[f]) << f;
        ASSERT_EQ(b.right[f + 100], a.right[f]) << f;
    }
}

TEST(Render, BlockIsCutAtEventFramesOnly) {
    // Events at 0, 100 and 100 of a 512-frame block give the same audio as
    // the host splitting the block there itself.
    auto whole = testplug::make();
    auto split = testplug::make();
    EventList().noteOn(0, 40, 90).noteOn(100, 60, 100).noteOff(100, 40).sendTo(*whole);
    Stereo a = testplug::render(*whole, 512, 512);
    EventList().noteOn(0, 40, 90).sendTo(*split);
    Stereo b = testplug::render(*split, 100, 100);
    EventList().noteOn(0, 60, 100).noteOff(0, 40).sendTo(*split);
    testplug::render(*split, b, 412, 412);
    EXPECT_TRUE(sameBits(a.left, b.left));
    EXPECT_TRUE(sameBits(a.right, b.right));
}

TEST(Render, QueuedEventsCarryAcrossBlocks) {
    // An event at frame 600 of a 512-frame block sounds exactly like one sent
    // at frame 88 of the next block.
    auto early = testplug::make();
    auto late = testplug::make();
    EventList().noteOn(600, 50, 100).sendTo(*early);
    Stereo a = testplug::render(*early, 1024, 512);
    Stereo b = testplug::render(*late, 512, 512);
    EventList().noteOn(88, 50, 100).sendTo(*late);
    testplug::render(*late, b, 512, 512);
    EXPECT_EQ(peak(a.left, 0, 600), 0.0f);
    EXPECT_GT(peak(a.left, 600), 0.0f);
    EXPECT_TRUE(sameBits(a.left, b.left));
    EXPECT_TRUE(sameBits(a.right, b.right));
}

TEST(Render, VolumeScalesAndTheLimiterKeepsFullScale) {
    auto p = testplug::make();
    for (int k = 0; k < kNumKeys; ++k) p->keyActive[k] = 0;
    // A key held still by an endless silent strike, its pickups at known displacements.
    const int k = 30;
    std::vector<float> quiet(4000, 0.0f);
    float* saved1 = p->forceBuf1[k];
    float* saved2 = p->forceBuf2[k];
    p->forceBuf1[k] = p->forceBuf2[k] = quiet.data();
    p->dirtyMask.store(0);
    p->stiff1[k] = p->stiff2[k] = 0.0f;
    p->viscosity[k] = 0.0f;
    p->damping[k] = 0.0f;
    p->pickupLeft[k] = 10;
    p->pickupRight[k] = 20;
    p->stringPos(k)[0][10] = p->stringPos(k)[1][10] = 1.5f;    // sum 3.0
    p->stringPos(k)[0][20] = p->stringPos(k)[1][20] = -1.25f;  // sum -2.5
    p->keyActive[k] = 1;
    p->forceCount[k] = 4000;
    Stereo loud = testplug::render(*p, 8, 8);
    EXPECT_EQ(loud.left[0], 1.0f) << "3.0 at volume 0.70 is limited";
    EXPECT_EQ(loud.right[0], -1.0f);
    p->programs[0].param[kVolume] = 0.0f;
    Stereo silent = testplug::render(*p, 8, 8);
    EXPECT_EQ(peak(silent.left), 0.0f);
    p->programs[0].param[kVolume] = 0.25f;
    Stereo quarter = testplug::render(*p, 8, 8);
    EXPECT_EQ(quarter.left[0], 0.75f);
    EXPECT_EQ(quarter.right[0], -0.625f);
    // Non-finite sums never reach the host: NaN becomes 0, infinity is limited.
    p->syncStrings();
    p->stringPos(k)[0][10] = std::numeric_limits<float>::quiet_NaN();
    p->stringPos(k)[0][20] = p->stringPos(k)[1][20] = -3e38f;  // the sum overflows to -inf
    Stereo broken = testplug::render(*p, 8, 8);
    EXPECT_EQ(broken.left[0], 0.0f);
    EXPECT_EQ(broken.right[0], -1.0f);
    p->forceBuf1[k] = saved1;
    p->forceBuf2[k] = saved2;
}

TEST(Render, LongerBlocksThanAnnouncedAreRenderedInPieces) {
    auto small = testplug::make(2);
    auto big = testplug::make(2);
    small->setBlockSize(64);
    for (auto* p : {small.get(), big.get()}) EventList().noteOn(10, 45, 100).noteOn(700, 57, 80).sendTo(*p);
    Stereo a = testplug::render(*small, 3000, 1500);
    Stereo b = testplug::render(*big, 3000, 1000);
    EXPECT_EQ(small->mixFrames, 64);
    EXPECT_TRUE(sameBits(a.left, b.left));
    EXPECT_TRUE(sameBits(a.right, b.right));
}

TEST(Render, OneWorkerAndManyWorkersSoundTheSame) {
    auto one = testplug::make(1);
    auto four = testplug::make(4);
    for (auto* p : {one.get(), four.get()}) {
        EventList ev;
        ev.pedal(0, true);
        for (int note = 21; note <= 108; note += 7) ev.noteOn(note % 50, note, 40 + note / 2);
        ev.sendTo(*p);
    }
    Stereo a = testplug::render(*one, 4096, 256);
    Stereo b = testplug::render(*four, 4096, 256);
    ASSERT_GT(peak(a.left), 0.01f);
    for (std::size_t f = 0; f < a.left.size(); ++f) {
        ASSERT_NEAR(a.left[f], b.left[f], 1e-5f) << f;
        ASSERT_NEAR(a.right[f], b.right[f], 1e-5f) << f;
    }
}

TEST(Render, SuspendedCallsLeaveBuffersAndQueueAlone) {
    auto p = testplug::make();
    EventList().noteOn(0, 60, 100).sendTo(*p);
    p->suspend();
    std::vector<float> l(64, 9.0f), r(64, 9.0f);
    float* outputs[2] = {l.data(), r.data()};
    p->processReplacing(nullptr, outputs, 64);
    EXPECT_EQ(l, std::vector<float>(64, 9.0f));
    EXPECT_NE(p->eventList, nullptr);
    p->resume();
    p->processReplacing(nullptr, outputs, 64);
    EXPECT_EQ(p->eventList, nullptr);
    EXPECT_EQ(p->keyActive[39], 1);
}

TEST(Render, NothingIsAllocatedAfterWarmUp) {
    auto p = testplug::make(2);
    std::vector<float> l(512), r(512);
    float* outputs[2] = {l.data(), r.data()};
    EventList burst;
    for (int i = 0; i < 32; ++i) burst.noteOn(i * 8, 40 + i, 90).pedal(i * 8 + 3, i % 2 == 0);
    burst.noteOff(100, 50).midi(200, 0xB0, 7, 90).midi(300, 0xB0, 123, 0);
    VstEvents* events = burst.get();
    p->processEvents(events);
    p->processReplacing(nullptr, outputs, 512);  // warm-up: the event records now exist
    p->setParameter(0x12, 0.5f);  // a coefficient group, recomputed inside the call
    p->setNote(60, true);
    const std::int64_t before = alloccount::allocations();
    for (int block = 0; block < 20; ++block) {
        p->processEvents(events);
        p->processReplacing(nullptr, outputs, 512);
    }
    EXPECT_EQ(alloccount::allocations(), before);
}

TEST(Render, RendersWhileTheEditorThreadChangesThings) {
    // Under ThreadSanitizer this proves the editor's writes race with nothing,
    // at the model's rate and through the rate converter.
    for (float rate : {44100.0f, 48000.0f}) {
        auto p = testplug::make(2);
        p->setSampleRate(rate);
        std::atomic<bool> stop{false};
        std::thread editor([&] {
            int i = 0;
            while (!stop.load()) {
                p->setParameter(0x12, (i % 100) / 100.0f);
                p->setParameter(0x00, 0.5f);
                p->setNote(i % kNumKeys, true);
                ++i;
                std::this_thread::yield();
            }
        });
        EventList ev;
        for (int i = 0; i < 20; ++i) ev.noteOn(i * 10, 30 + i * 3, 100);
        ev.sendTo(*p);
        Stereo out = testplug::render(*p, static_cast<int>(rate), 256);
        stop.store(true);
        editor.join();
        for (float s : out.left) ASSERT_TRUE(std::isfinite(s) && s >= -1.0f && s <= 1.0f);
        EXPECT_GT(peak(out.left), 0.0f) << rate;
    }
}

}  // namespace

// Long runs of what hosts do all day, through the built pelmar-k1.so: many
// instances created, played and closed; the library loaded and unloaded;
// instances rendering at once on their own threads. Each run must leave the
// process's threads and heap as it found them, checked here in numbers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "support/process_usage.h"
#include "tools/vsthost/event_list.h"
#include "tools/vsthost/plugin_host.h"

namespace {

using Clock = std::chrono::steady_clock;

// Heap bytes a run may end above or below its start. Every cycle allocates
// and frees the plug-in object (over 150 KB), its buffers and its worker
// threads' records, so a leak of any of them in even one cycle out of a
// hundred is far above this; the slack covers allocator bookkeeping that is
// not ours to control.
constexpr std::int64_t kHeapSlack = 4096;

// Before anything else allocates (see usage::restartWithPreciseHeapCount).
[[maybe_unused]] const bool kPreciseHeap = (usage::restartWithPreciseHeapCount(), true);

std::shared_ptr<vsthost::PluginLibrary> library() {
    static auto loaded = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
    return loaded;
}

void report(const char* what, const usage::Snapshot& before, const usage::Snapshot& after, Clock::duration took) {
    std::printf("%s: threads %d -> %d, open files %d -> %d, heap in use %lld -> %lld bytes, %.1f s\n", what,
                before.threads, after.threads, before.files, after.files, static_cast<long long>(before.heap),
                static_cast<long long>(after.heap), std::chrono::duration<double>(took).count());
}

// Start, play a chord with the pedal for one block, release it; false if a
// sample came out non-finite or beyond full scale.
bool playBriefly(vsthost::PluginInstance& plugin) {
    plugin.logCalls = false;
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.dispatch(effSetBlockSize, 0, 256);
    plugin.dispatch(effMainsChanged, 0, 1);
    vsthost::EventList events;
    events.noteOn(0, 48, 100).noteOn(10, 55, 90).noteOn(20, 64, 80).pedal(30, true).noteOff(200, 55);
    plugin.dispatch(effProcessEvents, 0, 0, events.get());
    std::vector<float> left(256), right(256);
    bool sane = true;
    for (int block = 0; block < 2; ++block) {
        plugin.process(left.data(), right.data(), 256);
        for (int i = 0; i < 256; ++i)
            sane = sane && std::isfinite(left[i]) && std::isfinite(right[i]) && std::fabs(left[i]) <= 1.0f &&
                   std::fabs(right[i]) <= 1.0f;
    }
    plugin.dispatch(effMainsChanged, 0, 0);
    return sane;
}

void expectSameUsage(const usage::Snapshot& before, const usage::Snapshot& after) {
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.files, before.files);
    EXPECT_LE(std::llabs(after.heap - before.heap), kHeapSlack) << "heap in use moved by " << after.heap - before.heap;
}

TEST(Soak, ThousandCreatePlayCloseCyclesLeaveThreadsAndHeapAsTheyWere) {
    // Warm-up: what the library and the runtime set up once, on first use.
    for (int i = 0; i < 3; ++i) {
        vsthost::PluginInstance plugin(library());
        ASSERT_TRUE(playBriefly(plugin));
    }
    const auto start = Clock::now();
    const usage::Snapshot before;
    int insane = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        vsthost::PluginInstance plugin(library());
        insane += playBriefly(plugin) ? 0 : 1;
        plugin.close();
    }
    const usage::Snapshot after;
    report("1000 create/play/close cycles", before, after, Clock::now() - start);
    EXPECT_EQ(insane, 0);
    expectSameUsage(before, after);
}

TEST(Soak, HundredLoadPlayUnloadCyclesLeaveThreadsFilesAndHeapAsTheyWere) {
    {
        auto lib = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
        vsthost::PluginInstance plugin(lib);
        ASSERT_TRUE(playBriefly(plugin));
    }
    const auto start = Clock::now();
    const usage::Snapshot before;
    int insane = 0;
    for (int cycle = 0; cycle < 100; ++cycle) {
        auto lib = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);  // dlopen
        {
            vsthost::PluginInstance a(lib);
            vsthost::PluginInstance b(lib);
            insane += playBriefly(a) && playBriefly(b) ? 0 : 1;
        }
        lib.reset();  // dlclose
    }
    const usage::Snapshot after;
    report("100 dlopen/play/dlclose cycles", before, after, Clock::now() - start);
    EXPECT_EQ(insane, 0);
    expectSameUsage(before, after);
}

// Two seconds of playing: chords in blocks of 256 frames, the pedal held
// over a release, a volume change and notes at odd frames.
std::vector<float> playPiece(vsthost::PluginInstance& plugin) {
    plugin.logCalls = false;
    plugin.dispatch(effSetBlockSize, 0, 256);
    plugin.dispatch(effMainsChanged, 0, 1);
    std::vector<float> out;
    std::vector<float> left(256), right(256);
    vsthost::EventList events;
    for (int block = 0; block < 345; ++block) {
        if (block % 40 == 0) {
            const int root = 36 + (block / 40) * 5;
            events.noteOn(block % 7, root, 100).noteOn(33, root + 4, 70).noteOn(101, root + 7, 120);
        }
        if (block % 40 == 20) events.pedal(5, true).noteOff(17, 36 + (block / 40) * 5);
        if (block % 40 == 30) events.pedal(250, false).midi(3, 0xB0, 7, 90 + block % 30);
        plugin.dispatch(effProcessEvents, 0, 0, events.get());
        events.clear();
        plugin.process(left.data(), right.data(), 256);
        out.insert(out.end(), left.begin(), left.end());
        out.insert(out.end(), right.begin(), right.end());
    }
    return out;
}

TEST(Soak, EightInstancesPlayingAtOnceSoundExactlyLikeOneAlone) {
    std::vector<float> alone;
    {
        vsthost::PluginInstance plugin(library());
        alone = playPiece(plugin);
    }
    float peak = 0.0f;
    for (float s : alone) peak = std::max(peak, std::fabs(s));
    ASSERT_GT(peak, 0.01f) << "the piece must be heard for the comparison to mean anything";

    constexpr int kInstances = 8;
    const usage::Snapshot before;
    std::vector<std::unique_ptr<vsthost::PluginInstance>> plugins;
    for (int i = 0; i < kInstances; ++i) plugins.push_back(std::make_unique<vsthost::PluginInstance>(library()));
    std::vector<std::vector<float>> outputs(kInstances);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int i = 0; i < kInstances; ++i) {
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (ready.load() < kInstances) std::this_thread::yield();  // all start together
            outputs[static_cast<std::size_t>(i)] = playPiece(*plugins[static_cast<std::size_t>(i)]);
        });
    }
    for (auto& t : threads) t.join();
    const auto took = Clock::now() - start;
    for (int i = 0; i < kInstances; ++i) {
        const auto& out = outputs[static_cast<std::size_t>(i)];
        ASSERT_EQ(out.size(), alone.size());
        EXPECT_EQ(std::memcmp(out.data(), alone.data(), out.size() * sizeof(float)), 0) << "instance " << i;
    }
    plugins.clear();
    threads.clear();
    outputs.clear();
    const usage::Snapshot after;
    report("8 instances on 8 threads", before, after, took);
    EXPECT_EQ(after.threads, before.threads);
}

}  // namespace

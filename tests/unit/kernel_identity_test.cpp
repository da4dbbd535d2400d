// Every vector build of the string kernel that this processor can run must
// give the reference kernel's output to the bit: long renders with many keys,
// the pedal, strikes and releases inside blocks, several parameter sets,
// block sizes and worker counts, keys falling silent at the same sample, and
// strings kept in the kernels' lanes from one block to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/kernel_paths.h"
#include "engine/kernel_plan.h"
#include "engine/voice_job.h"
#include "support/plugin_fixture.h"

namespace {

// Puts back the process's kernel choice when a test ends.
struct KernelChoice {
    KernelPath saved = selectedKernelPath();
    ~KernelChoice() { selectKernelPath(saved); }
};

const char* pathName(KernelPath path) {
    switch (path) {
        case KernelPath::Reference:
            return "reference";
        case KernelPath::Baseline:
            return "baseline";
        case KernelPath::Avx2:
            return "avx2";
        case KernelPath::Avx512:
            return "avx512";
    }
    return "?";
}

std::vector<KernelPath> vectorPaths() {
    std::vector<KernelPath> paths;
    for (KernelPath path : {KernelPath::Baseline, KernelPath::Avx2, KernelPath::Avx512})
        if (kernelPathAvailable(path)) paths.push_back(path);
    return paths;
}

// A small deterministic generator for parameter sets and event times.
struct Lcg {
    std::uint32_t state;
    std::uint32_t next() { return state = state * 1664525u + 1013904223u; }
    float unit() { return static_cast<float>(next() >> 8) / 16777216.0f; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

// Parameter set `seed` (0: the factory program) with per-key offsets.
void applyParameterSet(pelmar& p, std::uint32_t seed) {
    if (seed == 0) return;
    Lcg lcg{seed};
    Program& program = p.currentProgram();
    for (int j = 2; j < kNumParams; ++j) {
        for (int k = 0; k < kNumKeys; ++k) program.keyOffset[j][k] = static_cast<std::int8_t>(lcg.below(255) - 127);
        p.setParameter(indexToTag(j), lcg.unit());
    }
    p.setParameter(indexToTag(kVolume), 0.2f);  // little clipping: the sums stay visible
}

struct MidiAt {
    int frame;
    unsigned char status, data1, data2;
};

// Pedal down, keys struck all over the keyboard at odd frames (several in
// one block), some released and struck again, the pedal lifted midway.
std::vector<MidiAt> scene(int frames, std::uint32_t seed) {
    Lcg lcg{seed * 7919u + 3u};
    std::vector<MidiAt> events{{0, 0xB0, 64, 127}};
    for (int key = 0; key < kNumKeys; key += 1 + lcg.below(3))
        events.push_back({lcg.below(frames / 3), 0x90, static_cast<unsigned char>(key + 21),
                          static_cast<unsigned char>(20 + lcg.below(108))});
    for (int i = 0; i < 12; ++i) {
        const int key = lcg.below(kNumKeys);
        const int at = frames / 3 + lcg.below(frames / 2);
        events.push_back({at, 0x80, static_cast<unsigned char>(key + 21), 0});
        events.push_back({at + 1 + lcg.below(300), 0x90, static_cast<unsigned char>(key + 21), 127});
    }
    events.push_back({frames / 2 + 17, 0xB0, 64, 0});
    // With the pedal up, released keys die away and leave the computation.
    for (int key = 0; key < kNumKeys; key += 2)
        events.push_back({frames / 2 + 20 + lcg.below(frames / 4), 0x80, static_cast<unsigned char>(key + 21), 0});
    return events;
}

// Every key's positions, then every key's velocities, key by key (their
// place in memory depends on the worker count), brought back from the
// kernels' lanes first.
std::vector<float> stringsOf(pelmar& p) {
    p.syncStrings();
    std::vector<float> all;
    for (auto array : {&pelmar::stringPos, &pelmar::stringVel})
        for (int k = 0; k < kNumKeys; ++k) {
            const float* first = &(p.*array)(k)[0][0];
            all.insert(all.end(), first, first + kNumStrings * kMaxPoints);
        }
    return all;
}

struct Capture {
    std::vector<float> left, right;
    std::vector<std::uint8_t> activity;  // keyActive after every block
    std::vector<float> strings;          // final positions and velocities
};

Capture render(KernelPath path, std::uint32_t seed, int frames, int block, int workers) {
    EXPECT_TRUE(selectKernelPath(path));
    auto p = testplug::make(workers);
    applyParameterSet(*p, seed);
    // Released keys die away within the scene, so keys leave the computation.
    p->parameterProcess();
    for (int k = 0; k < kNumKeys; ++k) p->dampRelease[k] = p->dampRelease[k] + 0.004f;
    const std::vector<MidiAt> events = scene(frames, seed);
    Capture c;
    std::vector<float> l(static_cast<std::size_t>(block)), r(static_cast<std::size_t>(block));
    for (int start = 0; start < frames; start += block) {
        testplug::EventList list;
        for (const MidiAt& e : events)
            if (e.frame >= start && e.frame < start + block) list.midi(e.frame - start, e.status, e.data1, e.data2);
        list.sendTo(*p);
        float* outputs[2] = {l.data(), r.data()};
        p->processReplacing(nullptr, outputs, block);
        c.left.insert(c.left.end(), l.begin(), l.end());
        c.right.insert(c.right.end(), r.begin(), r.end());
        c.activity.insert(c.activity.end(), p->keyActive, p->keyActive + kNumKeys);
    }
    c.strings = stringsOf(*p);
    return c;
}

// The same float: the same bits, or both not a number. Strings that a
// random parameter set makes unstable turn into NaNs, and which NaN an
// addition of two passes on (its sign) depends on the order the compiler
// gives the operands, which neither kernel can fix; every number must match
// to the bit.
bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

bool sameFloats(const float* a, const float* b, int n) {
    for (int i = 0; i < n; ++i)
        if (!sameFloat(a[i], b[i])) return false;
    return true;
}

// Index of the first element that differs, or -1.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameFloat(a[i], b[i])) return static_cast<long>(i);
    return -1;
}

TEST(KernelIdentity, BestPathIsChosenByDefaultAndReferenceIsAlwaysThere) {
    EXPECT_TRUE(kernelPathAvailable(KernelPath::Reference));
    EXPECT_TRUE(kernelPathAvailable(KernelPath::Baseline));
    EXPECT_TRUE(kernelPathAvailable(bestKernelPath()));
    KernelChoice keep;
    EXPECT_TRUE(selectKernelPath(KernelPath::Reference));
    EXPECT_EQ(selectedKernel(), &pelmar_process);
    for (KernelPath path : vectorPaths()) {
        EXPECT_TRUE(selectKernelPath(path));
        EXPECT_EQ(selectedKernelPath(), path);
    }
}

TEST(KernelIdentity, LongRendersMatchTheReferenceBitForBit) {
    KernelChoice keep;
    struct Setting {
        std::uint32_t seed;
        int block, workers;
    };
    // Block sizes that cut strings' vector blocks and strikes differently,
    // and worker counts that deal the keys differently.
    const Setting settings[] = {{0, 64, 1}, {11, 512, 2}, {29, 333, 3}, {47, 1, 2}};
    for (const Setting& s : settings) {
        const int frames = s.block == 1 ? 3000 : 20000;
        const Capture reference = render(KernelPath::Reference, s.seed, frames, s.block, s.workers);
        bool silenced = false;
        for (std::size_t i = kNumKeys; i < reference.activity.size(); ++i)
            silenced |= reference.activity[i - kNumKeys] && !reference.activity[i];
        if (s.block != 1) {
            EXPECT_TRUE(silenced) << "the scene lets keys fall silent, seed " << s.seed;
        }
        for (KernelPath path : vectorPaths()) {
            SCOPED_TRACE(testing::Message() << pathName(path) << " seed " << s.seed << " block " << s.block
                                            << " workers " << s.workers);
            const Capture fast = render(path, s.seed, frames, s.block, s.workers);
            EXPECT_EQ(firstDifference(reference.left, fast.left), -1);
            EXPECT_EQ(firstDifference(reference.right, fast.right), -1);
            EXPECT_EQ(firstDifference(reference.strings, fast.strings), -1);
            EXPECT_TRUE(reference.activity == fast.activity);
        }
    }
}

// Kernel jobs run directly, one sample at a time: the vector builds must
// silence each key at the very sample the reference does, give the same
// pickup sums, and leave the same strike counters, for any dealing of keys.
TEST(KernelIdentity, KeysFallSilentAtTheSameSample) {
    KernelChoice keep;
    auto prepare = [] {
        auto p = testplug::make(1);
        applyParameterSet(*p, 5);
        testplug::EventList list;
        for (int key = 0; key < kNumKeys; key += 2) list.noteOn(0, key + 21, 30 + key);
        list.sendTo(*p);
        testplug::render(*p, 64, 64);
        for (int k = 0; k < kNumKeys; ++k) p->damping[k] = 0.002f + 0.0005f * static_cast<float>(k % 7);
        return p;
    };
    for (KernelPath path : vectorPaths()) {
        SCOPED_TRACE(pathName(path));
        auto reference = prepare();
        auto fast = prepare();
        const KernelFunction fastKernel = (selectKernelPath(path), selectedKernel());
        const int steps[] = {1, 2, 3, 1, 7};
        int silencedFrames = 0;
        for (int round = 0; round < 4000; ++round) {
            const int frames = steps[round % 5];
            for (int firstKey : {0, 1, 2}) {
                float refL[8], refR[8], fastL[8], fastR[8];
                VoiceJob a{firstKey, 3, reference.get(), refL, refR, frames};
                VoiceJob b{firstKey, 3, fast.get(), fastL, fastR, frames};
                const std::vector<std::uint8_t> before(reference->keyActive, reference->keyActive + kNumKeys);
                pelmar_process(&a);
                fastKernel(&b);
                ASSERT_TRUE(sameFloats(refL, fastL, frames)) << round;
                ASSERT_TRUE(sameFloats(refR, fastR, frames)) << round;
                ASSERT_EQ(std::memcmp(reference->keyActive, fast->keyActive, kNumKeys), 0) << round;
                ASSERT_EQ(std::memcmp(reference->forceCount, fast->forceCount, sizeof(fast->forceCount)), 0) << round;
                if (frames == 1 && std::memcmp(before.data(), reference->keyActive, kNumKeys) != 0) ++silencedFrames;
            }
        }
        EXPECT_GT(silencedFrames, 5) << "keys fell silent during single-sample jobs";
        EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
    }
}

// One job of `frames` samples on both plug-ins, the reference kernel on
// one and `fastKernel` on the other: the same sums, the same keys sounding,
// the same strikes left.
::testing::AssertionResult sameJob(pelmar& reference, pelmar& fast, KernelFunction fastKernel, int firstKey,
                                   int workers, int frames) {
    std::vector<float> refL(static_cast<std::size_t>(frames)), refR(refL), fastL(refL), fastR(refL);
    VoiceJob a{firstKey, workers, &reference, refL.data(), refR.data(), frames};
    VoiceJob b{firstKey, workers, &fast, fastL.data(), fastR.data(), frames};
    pelmar_process(&a);
    fastKernel(&b);
    if (!sameFloats(refL.data(), fastL.data(), frames) || !sameFloats(refR.data(), fastR.data(), frames))
        return ::testing::AssertionFailure() << "different output";
    if (std::memcmp(reference.keyActive, fast.keyActive, kNumKeys) != 0)
        return ::testing::AssertionFailure() << "different keys sounding";
    if (std::memcmp(reference.forceCount, fast.forceCount, sizeof(fast.forceCount)) != 0)
        return ::testing::AssertionFailure() << "different strikes left";
    return ::testing::AssertionSuccess();
}

// Every string length from the shortest to the longest, with the hammer and
// the pickups at the ends and in the middle of the string, in jobs long
// enough for the key-per-lane runs and the segmented single keys: lengths
// that fill the lanes exactly or leave one point over, hammers in the first
// and last segment rows, and keys falling silent within a job.
TEST(KernelIdentity, EveryStringLengthAndLayoutMatchesTheReference) {
    KernelChoice keep;
    for (int round = 0; round < 2; ++round) {
        auto prepare = [round] {
            auto p = testplug::make(1);
            applyParameterSet(*p, 13);
            testplug::EventList list;
            for (int key = 0; key < kNumKeys; ++key) list.noteOn(0, key + 21, 40 + key);
            list.sendTo(*p);
            testplug::render(*p, 1, 1);  // strikes applied, curves built
            p->syncStrings();
            for (int k = 0; k < kNumKeys; ++k) {
                const int n = 5 + (k + round * kNumKeys) % (kMaxPoints - 4);  // 5..100
                p->stringLen[k] = n;
                const int place[] = {1, n - 1, n / 2, 2, n - 2};
                p->hammerPoint[k] = place[(k + round) % 5];
                p->pickupLeft[k] = place[(k + 1) % 5];
                p->pickupRight[k] = place[(k + 3) % 5];
                p->damping[k] = 0.003f + 0.001f * static_cast<float>(k % 5);
                for (int t = 0; t < kNumStrings; ++t)
                    for (int i = n; i < kMaxPoints; ++i) p->stringPos(k)[t][i] = p->stringVel(k)[t][i] = 0.0f;
            }
            return p;
        };
        for (KernelPath path : vectorPaths()) {
            SCOPED_TRACE(testing::Message() << pathName(path) << " round " << round);
            auto reference = prepare();
            auto fast = prepare();
            const KernelFunction fastKernel = (selectKernelPath(path), selectedKernel());
            const int steps[] = {64, 16, 9, 100, 8, 33};
            for (int call = 0; call < 240; ++call) {
                const int frames = steps[call % 6];
                const int workers = 1 + call % 3;
                for (int firstKey = 0; firstKey < workers; ++firstKey)
                    ASSERT_TRUE(sameJob(*reference, *fast, fastKernel, firstKey, workers, frames)) << call;
            }
            int silent = 0;
            for (int k = 0; k < kNumKeys; ++k) silent += !reference->keyActive[k];
            EXPECT_GT(silent, 0) << "some keys fell silent during the jobs";
            EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
        }
    }
}

// A few keys whose strings are cut into segments, one a lane: long strings
// alone or beside short ones, with the hammer and the pickups on the first
// and last points of segments, struck again while sounding, falling silent,
// in jobs long enough for the cut runs and short ones between. The last
// chord (every third key from the tenor up, as one of three workers owns
// them) is cut into runs that hold more keys than half their lanes, most
// short keys then in a single lane.
TEST(KernelIdentity, StringsCutIntoSegmentsMatchTheReference) {
    KernelChoice keep;
    std::vector<int> everyThird;
    for (int k = 30; k < kNumKeys; k += 3) everyThird.push_back(k);
    const std::vector<std::vector<int>> chords = {{0, 1},       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                                                  {0, 9, 18, 27, 36, 45, 54, 63, 72, 81},
                                                  {3, 40, 60}, {30, 31, 32},
                                                  everyThird};
    // One parameter set a chord; set 26 would make some of the last chord's
    // strings unstable, and strings that are NaN in both kernels would hide
    // any difference in how they were computed.
    const std::uint32_t parameterSets[] = {21, 22, 23, 24, 25, 28};
    for (std::size_t chord = 0; chord < chords.size(); ++chord) {
        const std::vector<int>& keys = chords[chord];
        auto prepare = [&](int round) {
            auto p = testplug::make(1);
            applyParameterSet(*p, parameterSets[chord]);
            testplug::EventList list;
            for (int key : keys) list.noteOn(0, key + 21, 60 + key % 40);
            list.sendTo(*p);
            testplug::render(*p, 1, 1);
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const int k = keys[i];
                const int n = p->stringLen[k];
                // Points that begin or end a segment for the usual cuts of
                // a long string into 2..8 lanes, the ends, and the middle.
                const int place[] = {1, n - 1, n / 2, n / 2 + 1, 13, 14, 25, 26, 34, 35};
                const int count = static_cast<int>(sizeof place / sizeof place[0]);
                p->hammerPoint[k] = std::min(place[(i + static_cast<std::size_t>(round)) % count], n - 1);
                p->pickupLeft[k] = std::min(place[(i + 3) % count], n - 1);
                p->pickupRight[k] = std::min(place[(i + 6 + static_cast<std::size_t>(round)) % count], n - 1);
                p->damping[k] = 0.004f + 0.002f * static_cast<float>(i % 3);
            }
            return p;
        };
        // The planner must cut strings here, or this test would miss them.
        std::vector<int> lens;
        {
            auto p = prepare(0);
            for (int k : keys) lens.push_back(p->stringLen[k]);
        }
        for (const LaneWidths widths : {LaneWidths{16, 8}, LaneWidths{8}}) {
            std::vector<KeyRun> runs(lens.size());
            runs.resize(planKeyRuns(lens.data(), static_cast<int>(lens.size()), widths, 512, runs.data()));
            bool cut = false, crowded = false;
            for (const KeyRun& run : runs) {
                cut = cut || run.segment > 0;
                crowded = crowded || (run.segment > 0 && run.count * 2 > (run.narrow ? widths.narrowWidth : widths.width));
            }
            EXPECT_TRUE(cut) << "chord " << chord << " width " << widths.width;
            if (&keys == &chords.back()) {
                EXPECT_TRUE(crowded) << "width " << widths.width;
            }
        }

        for (int round = 0; round < 3; ++round)
            for (KernelPath path : vectorPaths()) {
                SCOPED_TRACE(testing::Message() << pathName(path) << " chord " << chord << " round " << round);
                auto reference = prepare(round);
                auto fast = prepare(round);
                const KernelFunction fastKernel = (selectKernelPath(path), selectedKernel());
                const int steps[] = {512, 64, 7, 200, 16};
                for (int call = 0; call < 60; ++call) {
                    const int frames = steps[call % 5];
                    if (call == 20 || call == 40)  // struck again while sounding
                        for (auto* q : {reference.get(), fast.get()}) {
                            testplug::EventList again;
                            for (int key : keys) again.noteOn(0, key + 21, 100);
                            again.sendTo(*q);
                            testplug::render(*q, 1, 1);
                        }
                    const bool same = sameJob(*reference, *fast, fastKernel, 0, 1, frames);
                    EXPECT_TRUE(same) << call;
                    if (!same) break;
                }
                EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
            }
    }
}

// A run of neighbouring keys whose upper lanes hold much shorter strings
// than the lower ones: the rows past the upper lanes run in half-width
// vectors. The hammers and the pickups sit on the strings' last points, so
// strikes land in those rows; keys are struck again and fall silent (the
// peak then wanted in those rows too) inside jobs of odd lengths.
TEST(KernelIdentity, ShortUpperLanesMatchTheReference) {
    KernelChoice keep;
    const int firstKey = 56;  // strings of 30 points down to 12
    auto prepare = [&] {
        auto p = testplug::make(1);
        applyParameterSet(*p, 41);
        testplug::EventList list;
        for (int i = 0; i < 16; ++i) list.noteOn(0, firstKey + i + 21, 40 + 5 * i);
        list.sendTo(*p);
        testplug::render(*p, 1, 1);
        for (int i = 0; i < 16; ++i) {
            const int k = firstKey + i;
            const int n = p->stringLen[k];
            p->hammerPoint[k] = n - 1 - i % 2;
            p->pickupLeft[k] = n - 1;
            p->pickupRight[k] = n - 2;
            p->damping[k] = 0.003f + 0.0015f * static_cast<float>(i % 4);
        }
        return p;
    };
    for (KernelPath path : vectorPaths()) {
        SCOPED_TRACE(pathName(path));
        auto reference = prepare();
        auto fast = prepare();
        const KernelFunction fastKernel = (selectKernelPath(path), selectedKernel());
        const int steps[] = {512, 7, 64, 33, 16, 5};
        for (int call = 0; call < 72; ++call) {
            if (call % 24 == 12)  // every other key struck again while sounding
                for (auto* q : {reference.get(), fast.get()}) {
                    testplug::EventList again;
                    for (int i = 0; i < 16; i += 2) again.noteOn(0, firstKey + i + 21, 110);
                    again.sendTo(*q);
                    testplug::render(*q, 1, 1);
                }
            ASSERT_TRUE(sameJob(*reference, *fast, fastKernel, 0, 1, steps[call % 6])) << call;
        }
        int silent = 0;
        for (int i = 0; i < 16; ++i) silent += !reference->keyActive[firstKey + i];
        EXPECT_GT(silent, 0) << "some keys fell silent during the jobs";
        EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
    }
}

// Jobs that share the calling thread are planned together: each job's
// buffers get the bits of the reference kernel running the jobs one after
// another, for chords the planner treats differently as one list of keys.
TEST(KernelIdentity, JobsPlannedTogetherMatchJobsRunApart) {
    KernelChoice keep;
    const std::vector<std::vector<int>> chords = {{0, 9, 18, 27, 36, 45, 54, 63, 72, 81},
                                                  {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
                                                  {}};  // empty: all 88 keys
    for (std::size_t chord = 0; chord < chords.size(); ++chord)
        for (int workers : {2, 3}) {
            auto prepare = [&] {
                auto p = testplug::make(1);
                applyParameterSet(*p, 31 + static_cast<std::uint32_t>(chord));
                testplug::EventList list;
                for (int key = 0; key < kNumKeys; ++key)
                    if (chords[chord].empty() ||
                        std::find(chords[chord].begin(), chords[chord].end(), key) != chords[chord].end())
                        list.noteOn(0, key + 21, 50 + key % 50);
                list.sendTo(*p);
                testplug::render(*p, 1, 1);
                return p;
            };
            for (KernelPath path : vectorPaths()) {
                SCOPED_TRACE(testing::Message() << pathName(path) << " chord " << chord << " workers " << workers);
                auto reference = prepare();
                auto fast = prepare();
                selectKernelPath(path);
                const KernelJobsFunction together = selectedJobsKernel();
                for (int call = 0; call < 30; ++call) {
                    const int frames = (call % 3 == 0) ? 7 : (call % 3 == 1) ? 64 : 300;
                    std::vector<std::vector<float>> ref(2 * workers, std::vector<float>(frames));
                    std::vector<std::vector<float>> out(2 * workers, std::vector<float>(frames, 1.0f));
                    VoiceJob apart[3], joint[3];
                    for (int t = 0; t < workers; ++t) {
                        apart[t] = VoiceJob{t, workers, reference.get(), ref[2 * t].data(), ref[2 * t + 1].data(), frames};
                        joint[t] = VoiceJob{t, workers, fast.get(), out[2 * t].data(), out[2 * t + 1].data(), frames};
                        pelmar_process(&apart[t]);
                    }
                    together(joint, workers);
                    for (int b = 0; b < 2 * workers; ++b)
                        ASSERT_TRUE(sameFloats(ref[b].data(), out[b].data(), frames)) << call << " " << b;
                    ASSERT_EQ(std::memcmp(reference->keyActive, fast->keyActive, kNumKeys), 0) << call;
                    ASSERT_EQ(std::memcmp(reference->forceCount, fast->forceCount, sizeof(fast->forceCount)), 0);
                }
                EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
            }
        }
}


// Between blocks the vector builds keep the strings of whole runs in their
// lanes. They must come back whenever the strings may be read or moved by
// anything else: another kernel build chosen between blocks, the work split
// another way (two workers handing over, or the jobs run together on the
// calling thread when few keys sound), a new plan as keys fall silent or
// are struck, and syncStrings before strings are read or set from outside.
TEST(KernelIdentity, StringsKeptInLanesComeBackWheneverAnythingElseMayMoveThem) {
    KernelChoice keep;
    const std::vector<KernelPath> fastPaths = vectorPaths();
    for (KernelPath path : fastPaths) {
        SCOPED_TRACE(pathName(path));
        auto reference = testplug::make(2);
        auto fast = testplug::make(2);
        for (pelmar* p : {reference.get(), fast.get()}) {  // released keys die away within the scene
            p->parameterProcess();
            for (int k = 0; k < kNumKeys; ++k) p->dampRelease[k] = p->dampRelease[k] + 0.004f;
        }
        const int block = 256;
        std::vector<float> l(block), r(block);
        std::vector<float> refLeft, refRight, fastLeft, fastRight;
        bool splitSeen[3] = {false, false, false};
        // Keys that fell silent in the last block are struck again at its
        // end: the same keys sound, under the same plan, while the lanes of
        // the silent ones moved on after they were copied out.
        std::vector<int> fellSilent;
        std::vector<std::uint8_t> everRestruck(kNumKeys, 0);
        bool restruck = false;
        auto eventsOf = [&](int b, testplug::EventList& list) {
            for (int k : fellSilent) list.noteOn(0, k + 21, 70);
            if (b == 62)  // and released, to die away with the rest
                for (int k = 0; k < kNumKeys; ++k)
                    if (everRestruck[k]) list.midi(2, 0x80, k + 21, 0);
            if (b == 0) {  // every key, pedal down: both workers
                list.midi(0, 0xB0, 64, 127);
                for (int key = 0; key < kNumKeys; ++key) list.noteOn(key % 7, key + 21, 40 + key);
            } else if (b == 40) {  // pedal up, most keys released: few keys left, run together
                list.midi(3, 0xB0, 64, 0);
                for (int key = 0; key < kNumKeys - 6; ++key) list.midi(5 + key % 9, 0x80, key + 21, 0);
            } else if (b == 110) {  // struck again: both workers once more
                for (int key = 0; key < kNumKeys; key += 2) list.noteOn(7 + key % 5, key + 21, 90);
            }
        };
        auto step = [&](int b, KernelPath fastPath) {
            for (pelmar* p : {reference.get(), fast.get()}) {
                testplug::EventList list;
                eventsOf(b, list);
                list.sendTo(*p);
                ASSERT_TRUE(selectKernelPath(p == reference.get() ? KernelPath::Reference : fastPath));
                float* outputs[2] = {l.data(), r.data()};
                // Timings would decide the split as the machine runs; the
                // work threshold alone gives both splits, block after block.
                p->handOverPolicy = HandOverPolicy(pelmar::kPointUpdatesWorthAHandOver);
                p->processReplacing(nullptr, outputs, block);
                auto& left = p == reference.get() ? refLeft : fastLeft;
                auto& right = p == reference.get() ? refRight : fastRight;
                left.insert(left.end(), l.begin(), l.end());
                right.insert(right.end(), r.begin(), r.end());
            }
            if (fast->lastSplit >= 0 && fast->lastSplit < 3) splitSeen[fast->lastSplit] = true;
        };
        std::vector<std::uint8_t> wasActive(kNumKeys, 0);
        for (int b = 0; b < 160; ++b) {
            // Mostly this build; a few blocks in the reference and, where
            // there is one, another vector build.
            KernelPath fastPath = path;
            if (b % 23 == 11) fastPath = KernelPath::Reference;
            if (b % 31 == 17 && fastPaths.size() > 1) fastPath = fastPaths[path == fastPaths[0] ? 1 : 0];
            step(b, fastPath);
            restruck |= !fellSilent.empty();
            fellSilent.clear();
            for (int k = 0; k < kNumKeys; ++k) {
                if (wasActive[k] && !reference->keyActive[k] && b > 40 && b < 60 && !everRestruck[k]) {
                    fellSilent.push_back(k);
                    everRestruck[k] = 1;
                }
                wasActive[k] = reference->keyActive[k];
            }
            if (b == 70) {  // strings read and moved from outside, then played on
                for (pelmar* p : {reference.get(), fast.get()}) {
                    p->syncStrings();
                    for (int k = kNumKeys - 6; k < kNumKeys; ++k) p->stringPos(k)[0][2] = p->stringPos(k)[0][2] + 0.001f;
                }
                EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1) << "block " << b;
            }
        }
        EXPECT_TRUE(restruck);
        EXPECT_TRUE(splitSeen[1] && splitSeen[2]) << "the jobs ran both together and handed over: " << splitSeen[1]
                                                  << splitSeen[2];
        EXPECT_EQ(firstDifference(refLeft, fastLeft), -1);
        EXPECT_EQ(firstDifference(refRight, fastRight), -1);
        EXPECT_EQ(firstDifference(stringsOf(*reference), stringsOf(*fast)), -1);
    }
}

}  // namespace

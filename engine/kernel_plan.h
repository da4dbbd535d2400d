// How a worker's sounding keys are split for the vector kernel: runs of
// neighbouring keys that share the vector lanes (a key per lane), and keys
// computed on their own (a string's points in the lanes), whichever costs
// less for this sub-block. Neighbouring keys have strings of nearly the same
// length, so a run wastes few lanes; a few keys of very different lengths
// are cheaper on their own. Either way the bits are the same.
#pragma once

#include <cstddef>

struct KeyRun {
    int first;  // index into the worker's list of sounding keys
    int count;  // keys in the run; 1 with lanes == false is a key on its own
    bool lanes;
    bool narrow = false;  // a run in the build's narrower vectors
    int segment = 0;      // > 0: strings cut into segments of this many points, one a lane
};

// The vectors a kernel build offers: `width` lanes, and a narrower vector of
// `narrowWidth` lanes for runs too few to fill the wide one (0: none). A row
// past a run's shortest lane keeps the lanes past their strings by masked
// additions, which cost `maskedRowCost` rows (`narrowMaskedRowCost` in the
// narrower vector): one operation each with AVX-512's masks, a blend more
// with AVX2's.
struct LaneWidths {
    int width;
    int narrowWidth = 0;
    float maskedRowCost = 1.0f;
    float narrowMaskedRowCost = 1.0f;
};

// Splits `n` keys (in ascending key order, with string lengths `lens`) into
// runs that fit the vectors for a sub-block of `frames` samples (planned as
// the power of two at or below it); returns the number of runs written to
// `runs` (room for n).
int planKeyRuns(const int* lens, int n, LaneWidths widths, int frames, KeyRun* runs);

// The last plan of one job. Planning many keys takes tens of microseconds,
// while the sounding keys, their strings and the block length seldom change
// from one block to the next.
struct PlanCache {
    static constexpr int kMaxKeys = 88;
    int count = -1;  // no plan yet
    int frames = 0;
    LaneWidths widths{0, 0};
    int keys[kMaxKeys];
    int lens[kMaxKeys];
    int runCount = 0;
    KeyRun runs[kMaxKeys];
    // Room where the first kKeptRuns key-lane runs of the plan keep their
    // groups, rows and all, from one sub-block to the next (kernel_simd.h).
    // A run whose keys all sounded to the end of its sub-block leaves their
    // strings in its rows; the plug-in's string arrays are brought up to
    // date only when the rows are given up (flushKeptLanes). The plug-in owns
    // the room (none: every run copies its strings in and out).
    static constexpr int kKeptRuns = 8;
    static constexpr std::size_t kKeptRunBytes = 32768;
    void* keptLanes = nullptr;  // kKeptRuns slots of kKeptRunBytes, 64-byte aligned
    unsigned keptValid = 0;     // slots whose rows hold their keys' strings
    const void* keptType[kKeptRuns] = {};           // the type of group in each slot (none yet: nullptr)
    void (*keptFlush[kKeptRuns])(void* group) = {};  // copies a slot's strings out

    // Forgets the slots and what they held, without copying anything out.
    void forgetKept() {
        keptValid = 0;
        for (const void*& type : keptType) type = nullptr;
    }
};

// Copies the strings held in the cache's kept rows back to the plug-in's
// arrays and gives the rows up: before anything else reads or writes those
// strings.
void flushKeptLanes(PlanCache& cache);

// The plan for these keys (ascending, with string lengths `lens`): the
// cached one when keys, lengths, widths and the order of frames (their
// power of two) are those of the last call, else a new one, kept. Returns
// the runs and their number in `runCount`.
const KeyRun* planKeyRunsCached(PlanCache& cache, const int* keys, const int* lens, int n, LaneWidths widths,
                                int frames, int& runCount);

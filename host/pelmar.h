// The plug-in object: one per AEffect. It owns the program bank, the piano
// model's per-key state in fixed arrays, the force curves and mixing buffers,
// the pending events, the worker pool and the editor.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/hand_over_policy.h"
#include "engine/kernel_plan.h"
#include "engine/note_event.h"
#include "engine/pmThread.h"
#include "engine/rate_converter.h"
#include "host/program.h"
#include "vst/AudioEffectX.h"

constexpr int kMaxPoints = 100;  // storage per string; a string uses stringLen + 1 points
constexpr int kNumStrings = 2;
constexpr std::uint32_t kDirtyAll = 0xFFFFFFFFu;
constexpr VstInt32 kUniqueId = vstFourCC('p', 'm', '-', '1');
constexpr VstInt32 kProgramChunkSize = static_cast<VstInt32>(sizeof(Program));
constexpr VstInt32 kBankChunkSize = kProgramChunkSize * kNumPrograms;
// Largest mixing buffer per worker and channel; longer host blocks are
// rendered in pieces of this size.
constexpr VstInt32 kMaxMixFrames = 8192;

// Parameter tag: page * 16 + slot. kfirst[page] is the page's first parameter
// index; kfirst[page + 1] bounds it.
constexpr int kfirst[4] = {0, 2, 9, 16};
constexpr int kNumPages = 3;

// Parameter index of a tag, or -1 for an invalid tag. Bits above 7 are ignored.
int tagToIndex(VstInt32 tag);
// Tag of a parameter index 0..15.
int indexToTag(int index);

class pmgui;

class pelmar : public AudioEffectX {
public:
    // workers 0 lets the pool ask the operating system for the processor count.
    explicit pelmar(audioMasterCallback audioMaster, int workers = 0);
    ~pelmar() override;

    // Host lifecycle and engine set-up.
    void suspend() override;
    void resume() override;
    void setSampleRate(float rate) override;
    void setBlockSize(VstInt32 size) override;
    // At 44100 Hz the model's own output; at any other host rate the model's
    // output converted to that rate, delayed by the reported initial delay.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // The model's output at its fixed rate of 44100 frames per second.
    void renderModelRate(float** inputs, float** outputs, VstInt32 sampleFrames);
    // Renders one sub-block of the keys over the workers, mixes and limits it.
    void forceProcess(float* left, float* right, long frames);

    // MIDI input and notes.
    VstInt32 processEvents(VstEvents* events) override;
    // Queues an event `delta` model frames after the model's next frame.
    NoteEvent* newEvent(long delta);
    // Model frames until a host event `hostDelta` frames into the coming block.
    long modelDelta(long hostDelta);
    void applyEvent(const NoteEvent& event);
    // The on-screen keyboard strikes a key; any thread may call it.
    void setNote(int key, bool on);

    // Parameters, by tag.
    void setParameter(VstInt32 tag, float value) override;
    float getParameter(VstInt32 tag) override;
    void getParameterName(VstInt32 tag, char* text) override;
    std::int8_t* getParx(VstInt32 tag);

    // Programs.
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // State chunk.
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    // Identity.
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    VstPlugCategory getPlugCategory() override;

    Program& currentProgram() { return programs[getProgram()]; }
    pmgui* gui();

    // Sound model: recomputes the coefficient groups named by dirtyMask, then
    // the force curves when their bits are set (parameterProcess calls forceInit).
    void parameterProcess();
    void forceInit(int mask);

    // --- Engine state, read and written by the engine's free functions ---
    std::atomic<std::uint32_t> dirtyMask{0};
    Program programs[kNumPrograms];
    // What getChunk hands the host: copies taken value by value, because the
    // host reads the chunk on its own thread while the audio thread may be
    // storing values (the MIDI volume, automation).
    Program savedBank[kNumPrograms];
    Program savedProgram;
    std::atomic<std::uint8_t> suspended{1};
    std::int32_t noteShift = 0;
    // The strings' positions and velocities: stringPos(k)[s][i], point i of
    // string s of key k.
    float (*stringPos(int k))[kMaxPoints] { return stringPosSlots[keySlot[k]]; }
    float (*stringVel(int k))[kMaxPoints] { return stringVelSlots[keySlot[k]]; }
    // Where each key's strings are stored. Each worker's keys (key k is
    // worker k mod workers') sit together, and a spare slot lies between
    // one worker's keys and the next's: a worker writes its keys' strings
    // back every block, and the processor's prefetchers, which fetch lines
    // beyond those a core reads, would otherwise keep pulling the other
    // worker's neighbouring keys across. Spare slots stay +0, so reading
    // one point past a string's last (its fixed end) reads +0 there too.
    static constexpr int kKeySlots = kNumKeys + 2 * kMaxWorkers;  // room for any worker count's spare slots
    std::uint8_t keySlot[kNumKeys];
    float stringPosSlots[kKeySlots][kNumStrings][kMaxPoints];
    float stringVelSlots[kKeySlots][kNumStrings][kMaxPoints];
    std::uint8_t keyActive[kNumKeys];
    float* forceBuf1[kNumKeys];
    float* forceBuf2[kNumKeys];
    std::uint16_t forceLen[kNumKeys];
    std::int16_t forceCount[kNumKeys];
    float forceAmp1[kNumKeys];
    float forceAmp2[kNumKeys];
    float keyFreq[kNumKeys];
    float stiff1[kNumKeys];
    float stiff2[kNumKeys];
    float viscosity[kNumKeys];
    float damping[kNumKeys];
    float dampRelease[kNumKeys];
    float dampHold[kNumKeys];
    std::int32_t stringLen[kNumKeys];
    std::int32_t hammerPoint[kNumKeys];
    std::int32_t pickupLeft[kNumKeys];
    std::int32_t pickupRight[kNumKeys];
    std::int32_t keyHeld[kNumKeys];
    std::int32_t pedalDown = 0;
    float* mixBuf[kMaxWorkers][2];
    VstInt32 mixFrames = 0;  // floats held by each mixBuf buffer
    NoteEvent* eventList = nullptr;
    NoteEvent* eventFree = nullptr;
    NoteEvent* eventLast = nullptr;  // tail of eventList: events mostly arrive in order
    // Keys struck from the editor, one bit per key, taken by the audio thread.
    std::atomic<std::uint64_t> pendingStrikes[2] = {0, 0};
    pmThread* threads = nullptr;
    // Whether each sub-block's jobs go to the workers or stay on the
    // calling thread (render loop only). Before anything is measured: from
    // about 35 microseconds of work on the Zen 4 machine the kernels were
    // first tuned on (some 8500 point updates a microsecond with keys in
    // lanes), near the price of waking a worker that has gone to sleep.
    static constexpr long kPointUpdatesWorthAHandOver = 300000;
    HandOverPolicy handOverPolicy{kPointUpdatesWorthAHandOver};
    // Host rates other than 44100 Hz: the model's output goes through here.
    bool convertingRate = false;
    RateConverter rateConverter;
    std::atomic<bool> rateResetPending{false};  // set by resume, taken by the audio thread
    // Each job's last key plan, and one for the jobs run together on the
    // calling thread; each is used by one thread at a time.
    struct alignas(128) JobPlan {
        PlanCache cache;
    };
    JobPlan jobPlans[kMaxWorkers + 1];
    // How the last sub-block was rendered: kept lane rows stay only while
    // the same kernel build renders the keys split the same way.
    int lastSplit = -1;
    void (*lastKernel)(void* job) = nullptr;
    // Brings every string in the kept lane rows back to stringPos /
    // stringVel and gives the rows up: call before reading or changing the
    // strings from outside the kernels (not while a block renders).
    void syncStrings();

private:
    void configureRateConverter();
    void takeRateReset();
    void applyEditorStrikes();
    void engineInit();
    void engineFree();
    void sendProgramToEditor();
};

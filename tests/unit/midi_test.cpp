#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/plugin_fixture.h"
#include "support/recording_gui.h"

namespace {

using testplug::EventList;

std::vector<int> queuedKeys(const pelmar& p) {
    std::vector<int> keys;
    for (const NoteEvent* e = p.eventList; e; e = e->next) keys.push_back(e->key);
    return keys;
}

// Applies every queued event by rendering one short block.
void renderBlock(pelmar& p, int frames = 16) { testplug::render(p, frames, frames); }

TEST(MidiInput, NoteNumbersMapToKeysThroughTheTransposition) {
    auto p = testplug::make();
    EventList().noteOn(0, 60, 100).noteOn(0, 21, 100).noteOn(0, 108, 100).noteOn(0, 20, 100).noteOn(0, 109, 100).sendTo(*p);
    EXPECT_EQ(queuedKeys(*p), (std::vector<int>{39, 0, 87})) << "notes beyond the keyboard are dropped";
    p->noteShift = 50;
    EventList().noteOn(0, 60, 100).noteOn(0, 10, 100).sendTo(*p);
    EXPECT_EQ(queuedKeys(*p).size(), 4u) << "note 60 + 50 lies beyond key 87";
    EXPECT_EQ(queuedKeys(*p).back(), 39);
    p->noteShift = -1;
    EventList().noteOn(0, 21, 100).sendTo(*p);
    EXPECT_EQ(queuedKeys(*p).size(), 4u);
}

TEST(MidiInput, AllChannelsAlikeAndOtherMessagesIgnored) {
    auto p = testplug::make();
    EventList()
        .midi(0, 0x9F, 60, 90)   // note on, channel 16
        .midi(0, 0xC0, 5, 0)     // program change
        .midi(0, 0xE0, 0, 64)    // pitch bend
        .midi(0, 0xB3, 1, 64)    // modulation
        .midi(0, 0xA0, 60, 10)   // aftertouch
        .sendTo(*p);
    EXPECT_EQ(queuedKeys(*p), (std::vector<int>{39}));
    EXPECT_EQ(p->getProgram(), 0);
}

TEST(MidiInput, EventsAreSortedByFrameKeepingArrivalOrder) {
    auto p = testplug::make();
    EventList().noteOn(300, 60, 1).noteOn(100, 61, 2).noteOn(300, 62, 3).noteOn(0, 63, 4).noteOn(100, 64, 5).sendTo(*p);
    std::vector<int> deltas, velocities;
    for (const NoteEvent* e = p->eventList; e; e = e->next) {
        deltas.push_back(e->delta);
        velocities.push_back(e->velocity);
    }
    EXPECT_EQ(deltas, (std::vector<int>{0, 100, 100, 300, 300}));
    EXPECT_EQ(velocities, (std::vector<int>{4, 2, 5, 1, 3}));
}

TEST(MidiInput, RecordsAreRecycledNotReallocated) {
    auto p = testplug::make();
    EventList().noteOn(0, 60, 100).noteOn(0, 62, 100).noteOff(5, 60).sendTo(*p);
    renderBlock(*p);
    int recycled = 0;
    for (NoteEvent* e = p->eventFree; e; e = e->next) ++recycled;
    EXPECT_EQ(recycled, 3);
    EXPECT_EQ(p->eventList, nullptr);
    NoteEvent* first = p->eventFree;
    EventList().noteOn(0, 70, 100).sendTo(*p);
    EXPECT_EQ(p->eventList, first);
}

TEST(MidiInput, VelocitySplitsTheStrikeBetweenTheCurves) {
    auto p = testplug::make();
    struct Row {
        int velocity;
        float amp1, amp2;
    } rows[] = {{127, 1.5514019f, -0.5514019f}, {100, 0.7021658f, 0.0852357f}, {64, 0.0061560f, 0.4977810f}, {50, 0.0f, 0.3937008f}};
    for (const Row& row : rows) {
        EventList().noteOn(0, 60, row.velocity).sendTo(*p);
        renderBlock(*p, 1);
        EXPECT_NEAR(p->forceAmp1[39], row.amp1, 2e-7f) << row.velocity;
        EXPECT_NEAR(p->forceAmp2[39], row.amp2, 2e-7f) << row.velocity;
        EXPECT_EQ(p->keyHeld[39], 1);
        EXPECT_EQ(p->keyActive[39], 1);
    }
}

TEST(MidiInput, VelocityParametersFromAChunkCannotMakeAStrikeNonFinite) {
    auto p = testplug::make();
    p->setParameter(0x25, std::numeric_limits<float>::quiet_NaN());
    p->setParameter(0x26, 1e30f);
    EventList().noteOn(0, 60, 127).sendTo(*p);
    renderBlock(*p, 1);
    EXPECT_TRUE(std::isfinite(p->forceAmp1[39]));
    EXPECT_TRUE(std::isfinite(p->forceAmp2[39]));
    // Values the editor can reach are used as they are: softness 0.5 and dynamics 0.5 give a = 1.
    p->setParameter(0x25, 0.5f);
    p->setParameter(0x26, 0.5f);
    EventList().noteOn(0, 60, 127).sendTo(*p);
    renderBlock(*p, 1);
    EXPECT_EQ(p->forceAmp1[39], 1.0f);
    EXPECT_EQ(p->forceAmp2[39], 0.0f);
}

TEST(MidiInput, VelocityZeroIsANoteOff) {
    auto p = testplug::make();
    EventList().noteOn(0, 60, 100).sendTo(*p);
    renderBlock(*p);
    EventList().noteOn(0, 60, 0).sendTo(*p);
    ASSERT_NE(p->eventList, nullptr);
    EXPECT_EQ(p->eventList->noteOn, 0);
    renderBlock(*p);
    EXPECT_EQ(p->keyHeld[39], 0);
    EXPECT_EQ(p->forceCount[39], 0);
    EXPECT_EQ(p->damping[39], p->dampRelease[39]);
}

TEST(MidiInput, NoteOnAndOffAtOneFrameLeaveTheKeyUnforced) {
    auto p = testplug::make();
    EventList().noteOn(10, 60, 100).noteOff(10, 60).sendTo(*p);
    renderBlock(*p, 32);
    EXPECT_EQ(p->keyHeld[39], 0);
    EXPECT_EQ(p->forceCount[39], 0);
    EXPECT_EQ(p->forceAmp1[39], 0.0f);
    EXPECT_EQ(p->keyActive[39], 0) << "strings at rest fall silent at once";
}

TEST(MidiInput, SustainPedalHoldsReleasedKeys) {
    auto p = testplug::make();
    EventList().midi(0, 0xB0, 64, 1).noteOn(0, 60, 100).noteOn(0, 64, 100).sendTo(*p);
    renderBlock(*p, 64);
    EXPECT_EQ(p->pedalDown, 1) << "controller value 1 is pedal down";
    EventList().noteOff(0, 60).sendTo(*p);
    renderBlock(*p, 64);
    EXPECT_EQ(p->keyHeld[39], 0);
    EXPECT_EQ(p->damping[39], p->dampHold[39]) << "under the pedal the damping stays";
    EXPECT_EQ(p->forceCount[39], 0) << "but the hammer curve ends";
    EventList().pedal(0, false).sendTo(*p);
    renderBlock(*p, 1);
    EXPECT_EQ(p->pedalDown, 0);
    EXPECT_EQ(p->damping[39], p->dampRelease[39]);
    EXPECT_EQ(p->damping[43], p->dampHold[43]) << "a held key keeps its damping";
}

TEST(MidiInput, VolumeControllerActsAtOnceAndTellsTheEditor) {
    auto p = testplug::make();
    RecordingGui* gui = RecordingGui::installIn(*p);
    p->dirtyMask.store(0);
    EventList().midi(400, 0xB0, 7, 64).sendTo(*p);
    EXPECT_EQ(p->getParameter(0x00), 64.0f / 127.0f);
    EXPECT_EQ(p->eventList, nullptr);
    EXPECT_EQ(p->dirtyMask.load(), 0u);
    ASSERT_EQ(gui->received.size(), 1u);
    EXPECT_EQ(gui->received[0], std::make_pair(VstInt32{0}, 64.0f / 127.0f));
}

TEST(MidiInput, AllNotesOffFreezesTheStrings) {
    auto p = testplug::make();
    EventList().noteOn(0, 60, 100).noteOn(0, 30, 80).sendTo(*p);
    renderBlock(*p, 200);
    p->syncStrings();
    float frozen[2][kMaxPoints];
    std::memcpy(frozen, p->stringPos(39), sizeof(frozen));
    EventList().midi(0, 0xB0, 123, 0).sendTo(*p);
    for (int k = 0; k < kNumKeys; ++k) {
        ASSERT_EQ(p->keyActive[k], 0);
        ASSERT_EQ(p->keyHeld[k], 0);
    }
    renderBlock(*p, 100);
    p->syncStrings();
    EXPECT_EQ(std::memcmp(frozen, p->stringPos(39), sizeof(frozen)), 0);
}

TEST(MidiInput, EventBeyondTheBlockWaitsForItsFrame) {
    auto p = testplug::make();
    EventList().noteOn(600, 60, 100).sendTo(*p);
    renderBlock(*p, 512);
    ASSERT_NE(p->eventList, nullptr);
    EXPECT_EQ(p->eventList->delta, 88);
    EXPECT_EQ(p->keyActive[39], 0);
    EventList().noteOn(10, 62, 100).sendTo(*p);
    EXPECT_EQ(queuedKeys(*p), (std::vector<int>{41, 39})) << "same origin as the next block's offsets";
}

TEST(MidiInput, HostileEventListsAreSkippedOneByOne) {
    auto p = testplug::make();
    VstMidiEvent good{};
    good.type = kVstMidiType;
    good.byteSize = sizeof(VstMidiEvent);
    good.midiData[0] = static_cast<char>(0x90);
    good.midiData[1] = 60;
    good.midiData[2] = 100;
    VstMidiEvent sysexType = good;
    sysexType.type = kVstSysExType;
    VstMidiEvent tiny = good;
    tiny.byteSize = 4;
    VstMidiEvent unknown = good;
    unknown.type = 99;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[5];
    } list{5, 0, {reinterpret_cast<VstEvent*>(&sysexType), nullptr, reinterpret_cast<VstEvent*>(&tiny),
                  reinterpret_cast<VstEvent*>(&unknown), reinterpret_cast<VstEvent*>(&good)}};
    EXPECT_EQ(p->processEvents(reinterpret_cast<VstEvents*>(&list)), 1);
    EXPECT_EQ(queuedKeys(*p), (std::vector<int>{39}));
    list.numEvents = -3;
    p->processEvents(reinterpret_cast<VstEvents*>(&list));
    EXPECT_EQ(p->processEvents(nullptr), 1);
    EXPECT_EQ(queuedKeys(*p).size(), 1u);
}

TEST(MidiInput, AFloodOfEventsIsBounded) {
    auto p = testplug::make();
    EventList flood;
    for (int i = 0; i < 10000; ++i) flood.noteOn(1000000 - i, 60, 100);
    flood.sendTo(*p);
    EXPECT_LE(queuedKeys(*p).size(), 4096u);
}

TEST(EditorKeyboard, StrikesAtFullForceFromAnyThreadAtTheNextSubBlock) {
    auto p = testplug::make();
    p->setNote(39, true);
    p->setNote(-1, true);
    p->setNote(88, true);
    EXPECT_EQ(p->keyActive[39], 0) << "handed to the audio thread";
    renderBlock(*p, 1);
    EXPECT_EQ(p->keyActive[39], 1);
    EXPECT_EQ(p->forceAmp1[39], 1.0f);
    EXPECT_EQ(p->forceAmp2[39], 0.0f);
    EXPECT_EQ(p->keyHeld[39], 0);
    EXPECT_EQ(p->forceCount[39], p->forceLen[39] - 1);
    int active = 0;
    for (int k = 0; k < kNumKeys; ++k) active += p->keyActive[k];
    EXPECT_EQ(active, 1);
}

}  // namespace

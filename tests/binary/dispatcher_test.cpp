// What a host sees through the binary interface of the built pelmar-k1.so.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/bank_hash.h"
#include "tools/vsthost/plugin_host.h"

namespace {

using vsthost::PluginInstance;
using vsthost::PluginLibrary;

std::shared_ptr<PluginLibrary> library() {
    static auto lib = std::make_shared<PluginLibrary>(PELMAR_PLUGIN_PATH);
    return lib;
}

TEST(Entry, RecordAsTheHostReadsIt) {
    PluginInstance plugin(library());
    const AEffect* e = plugin.effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->flags, 0x131);
    EXPECT_EQ(e->uniqueID, vstFourCC('p', 'm', '-', '1'));
    EXPECT_EQ(e->uniqueID, 0x706d2d31);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numPrograms, 10);
    EXPECT_EQ(e->numParams, 0);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
}

TEST(Entry, ConstructionAsksForMidiOnceAndVersionFirst) {
    PluginInstance plugin(library());
    ASSERT_GE(plugin.calls.size(), 2u);
    EXPECT_EQ(plugin.calls[0].opcode, audioMasterVersion);
    int wantMidi = 0;
    for (auto& call : plugin.calls)
        if (call.opcode == audioMasterWantMidi) {
            ++wantMidi;
            EXPECT_EQ(call.value, 1);
        }
    EXPECT_EQ(wantMidi, 1);
}

TEST(Entry, HostAnsweringVersionZeroIsRefused) {
    EXPECT_THROW(PluginInstance(library(), 0), std::runtime_error);
    EXPECT_EQ(library()->entry()(nullptr), nullptr);
}

TEST(Entry, MainIsTheSameEntryPoint) {
    ASSERT_NE(library()->mainEntry(), nullptr);
    AEffect* e = library()->mainEntry()([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return opcode == audioMasterVersion ? 2400 : 0;
    });
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->uniqueID, 0x706d2d31);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0), 1);
}

TEST(Dispatcher, IdentityAndCapabilities) {
    PluginInstance plugin(library());
    EXPECT_EQ(plugin.getString(effGetEffectName), "Pelmar-k1");
    EXPECT_EQ(plugin.getString(effGetProductString), "Pelmar-k1");
    EXPECT_EQ(plugin.getString(effGetVendorString), "Vordam");
    char text[64];
    EXPECT_EQ(plugin.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_EQ(plugin.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_EQ(plugin.dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 105);
    EXPECT_EQ(plugin.dispatch(effGetPlugCategory), 2);
    EXPECT_EQ(plugin.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    auto canDo = [&](const char* s) { return plugin.dispatch(effCanDo, 0, 0, const_cast<char*>(s)); };
    EXPECT_EQ(canDo("receiveVstEvents"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(canDo("receiveVstEvent"), 0);
    EXPECT_EQ(canDo("ReceiveVstEvents"), 0);
    EXPECT_EQ(canDo("receiveVstEvents "), 0);
    EXPECT_EQ(canDo("sendVstEvents"), 0);
    EXPECT_EQ(canDo("bypass"), 0);
    EXPECT_EQ(canDo(""), 0);
}

TEST(Dispatcher, DefaultAnswersOfTheBaseLayer) {
    PluginInstance plugin(library());
    EXPECT_EQ(plugin.dispatch(effOpen), 0);
    EXPECT_EQ(plugin.dispatch(effCanBeAutomated, 3), 1);
    EXPECT_EQ(plugin.dispatch(effCanBeAutomated, 999), 1);
    char buffer[256] = "1";
    EXPECT_EQ(plugin.dispatch(effString2Parameter, 0, 0, buffer), 0);
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, 0, 0, buffer), 0);
    EXPECT_EQ(plugin.dispatch(effGetOutputProperties, 0, 0, buffer), 0);
    EXPECT_EQ(plugin.dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin.dispatch(effGetParameterProperties, 0, 0, buffer), 0);
    EXPECT_EQ(plugin.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin.dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    for (VstInt32 op : {effOfflineNotify, effOfflinePrepare, effOfflineRun, effProcessVarIo, effSetSpeakerArrangement,
                        effSetBypass, effVendorSpecific, effGetMidiProgramName, effGetMidiProgramCategory,
                        effHasMidiProgramsChanged, effGetMidiKeyName, effBeginSetProgram, effEndSetProgram,
                        effShellGetNextPlugin, effStartProcess, effStopProcess, effSetPanLaw, effBeginLoadBank,
                        effBeginLoadProgram, effSetProcessPrecision, effGetNumMidiInputChannels,
                        effGetNumMidiOutputChannels})
        EXPECT_EQ(plugin.dispatch(op, 0, 0, nullptr), 0) << "opcode " << op;
    // Deprecated and unknown requests do nothing.
    for (VstInt32 op : {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 81, 1000, -1})
        EXPECT_EQ(plugin.dispatch(op, 1, 2, nullptr, 3.0f), 0) << "opcode " << op;
    EXPECT_EQ(plugin.getString(effGetProgramName), "bright") << "nothing changed";
}

TEST(Dispatcher, SpeakerArrangementPointersAreCleared) {
    PluginInstance plugin(library());
    void* input = reinterpret_cast<void*>(0x1234);
    void* output = reinterpret_cast<void*>(0x5678);
    EXPECT_EQ(plugin.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST(Dispatcher, ParameterRequestsUseTagsAndEmptyLabels) {
    PluginInstance plugin(library());
    EXPECT_EQ(plugin.getString(effGetParamName, 0x26), "velo dynamics");
    EXPECT_EQ(plugin.getString(effGetParamName, 0x10), "tuning");
    EXPECT_EQ(plugin.getString(effGetParamName, 0x17), "");
    EXPECT_EQ(plugin.getString(effGetParamLabel, 0x10), "");
    EXPECT_EQ(plugin.getString(effGetParamDisplay, 0x10), "");
    AEffect* e = plugin.effect();
    EXPECT_FLOAT_EQ(e->getParameter(e, 0x00), 0.7009346f);
    e->setParameter(e, 0x21, 0.25f);
    EXPECT_EQ(e->getParameter(e, 0x21), 0.25f);
    e->setParameter(e, 0x05, 0.25f);
    EXPECT_EQ(e->getParameter(e, 0x05), 0.0f);
}

TEST(Dispatcher, ProgramsSelectionAndNames) {
    PluginInstance plugin(library());
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin.getString(effGetProgramName), "bright");
    EXPECT_EQ(plugin.dispatch(effSetProgram, 0, 3), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 3);
    EXPECT_EQ(plugin.getString(effGetProgramName), "pling");
    plugin.dispatch(effSetProgram, 0, 10);
    plugin.dispatch(effSetProgram, 0, -1);
    plugin.dispatch(effSetProgram, 0, VstIntPtr{1} << 40);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 3);
    char name[] = "my lovely piano sound with a long name";
    EXPECT_EQ(plugin.dispatch(effSetProgramName, 0, 0, name), 0);
    EXPECT_EQ(plugin.getString(effGetProgramName), "my lovely piano sound w");
    const char* factory[] = {"bright", "muffled", "untuned", "my lovely piano sound w", "xamba", "damper", "-", "-", "-", "-"};
    for (int p = 0; p < 10; ++p) {
        char text[64] = {};
        EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, p, 0, text), 1);
        EXPECT_STREQ(text, factory[p]);
    }
    char text[64] = "keep";
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 10, 0, text), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, -1, 0, text), 0);
    EXPECT_STREQ(text, "keep");
}

TEST(Dispatcher, MainsChangedSuspendsAndResumes) {
    PluginInstance plugin(library());
    plugin.calls.clear();
    EXPECT_EQ(plugin.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(plugin.calls.empty());
    std::vector<float> left(64, 5.0f), right(64, 5.0f);
    plugin.process(left.data(), right.data(), 64);
    EXPECT_EQ(left, std::vector<float>(64, 5.0f)) << "suspended: outputs untouched";
    EXPECT_EQ(plugin.dispatch(effMainsChanged, 0, 1), 0);
    ASSERT_EQ(plugin.calls.size(), 1u);
    EXPECT_EQ(plugin.calls[0].opcode, 6);
    EXPECT_EQ(plugin.calls[0].value, 1);
    plugin.process(left.data(), right.data(), 64);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f)) << "resumed: the silent block is written";
}

TEST(Dispatcher, SampleRateAndBlockSizeAreAccepted) {
    PluginInstance plugin(library());
    EXPECT_EQ(plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(plugin.dispatch(effSetBlockSize, 0, 256), 0);
    for (VstIntPtr bad : {VstIntPtr{0}, VstIntPtr{-1}, VstIntPtr{1} << 40})
        EXPECT_EQ(plugin.dispatch(effSetBlockSize, 0, bad), 0);
    std::vector<float> left(256, 1.0f), right(256, 1.0f);
    plugin.process(left.data(), right.data(), 256);
    EXPECT_EQ(right, std::vector<float>(256, 0.0f));
}

TEST(Dispatcher, EditorRequestsWithTheWindowClosed) {
    PluginInstance plugin(library());
    ERect* rect = nullptr;
    EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 404);
    EXPECT_EQ(rect->right, 616);
    EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin.dispatch(effEditIdle), 0);
    EXPECT_EQ(plugin.dispatch(effEditKeyDown, 'a', 0, nullptr, 0), 0);
    EXPECT_EQ(plugin.dispatch(effEditKeyUp, 'a', 0, nullptr, 0), 0);
    EXPECT_EQ(plugin.dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(plugin.dispatch(effEditClose), 0);
}

TEST(Dispatcher, NullPointersAreRefusedOrIgnored) {
    PluginInstance plugin(library());
    for (VstInt32 op : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                        effGetChunk, effSetChunk, effProcessEvents, effGetProgramNameIndexed, effGetEffectName,
                        effGetVendorString, effGetProductString, effCanDo, effString2Parameter,
                        effGetInputProperties, effGetOutputProperties, effGetParameterProperties,
                        effGetSpeakerArrangement})
        EXPECT_EQ(plugin.dispatch(op, 0, op == effSetChunk ? 1496 : 0, nullptr), 0) << "opcode " << op;
    EXPECT_EQ(plugin.getString(effGetProgramName), "bright");
}

TEST(Chunks, FactoryBankByteForByteAndProgramChunk) {
    PluginInstance plugin(library());
    void* data = nullptr;
    ASSERT_EQ(plugin.dispatch(effGetChunk, 0, 0, &data), 14960);
    EXPECT_EQ(fnv1a64(data, 14960), kFactoryBankHash);
    void* program = nullptr;
    ASSERT_EQ(plugin.dispatch(effGetChunk, 1, 0, &program), 1496);
    EXPECT_EQ(std::memcmp(program, data, 1496), 0);
    plugin.dispatch(effSetProgram, 0, 4);
    ASSERT_EQ(plugin.dispatch(effGetChunk, 1, 0, &program), 1496);
    EXPECT_EQ(std::memcmp(program, static_cast<char*>(data) + 4 * 1496, 1496), 0);
}

TEST(Chunks, RoundTripBetweenInstancesAndRefusals) {
    PluginInstance source(library());
    source.dispatch(effSetProgram, 0, 6);
    AEffect* e = source.effect();
    e->setParameter(e, 0x22, 0.9f);
    char name[] = "concert";
    source.dispatch(effSetProgramName, 0, 0, name);
    void* data = nullptr;
    ASSERT_EQ(source.dispatch(effGetChunk, 0, 0, &data), 14960);
    std::vector<char> bank(static_cast<char*>(data), static_cast<char*>(data) + 14960);

    PluginInstance target(library());
    EXPECT_EQ(target.dispatch(effSetChunk, 0, 14959, bank.data()), 0);
    EXPECT_EQ(target.dispatch(effSetChunk, 1, 14960, bank.data()), 0);
    EXPECT_EQ(target.dispatch(effSetChunk, 0, (VstIntPtr{1} << 32) + 14960, bank.data()), 0);
    EXPECT_EQ(target.dispatch(effSetChunk, 0, 14960, bank.data()), 14960);
    EXPECT_EQ(target.dispatch(effGetProgram), 0);
    target.dispatch(effSetProgram, 0, 6);
    EXPECT_EQ(target.getString(effGetProgramName), "concert");
    AEffect* t = target.effect();
    EXPECT_EQ(t->getParameter(t, 0x22), 0.9f);
    void* restored = nullptr;
    ASSERT_EQ(target.dispatch(effGetChunk, 0, 0, &restored), 14960);
    EXPECT_EQ(std::memcmp(restored, bank.data(), 14960), 0);
}

TEST(Lifecycle, CloseAnswersOneAndInstancesAreIndependent) {
    auto a = std::make_unique<PluginInstance>(library());
    auto b = std::make_unique<PluginInstance>(library());
    a->dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(b->dispatch(effGetProgram), 0);
    EXPECT_EQ(a->close(), 1);
    EXPECT_EQ(b->getString(effGetProgramName), "bright");
    EXPECT_EQ(b->close(), 1);
}

}  // namespace

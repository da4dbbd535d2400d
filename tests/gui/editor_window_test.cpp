// The plug-in's editor window through the built library: a host loads
// pelmar-k1.so, opens the editor in its window on the private X server,
// clicks and drags with XTest, and sees the effects as a host can, in the
// state chunk, the rendered audio, the host calls and the pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "editor/pmgui.h"
#include "support/hosted_editor.h"

namespace {

using guitest::HostedEditor;

constexpr std::uint32_t kBackground = 0x204080;
constexpr std::uint32_t kKeysymControl = 0xffe3;

// Centres of the controls, in editor coordinates.
constexpr int kTabY = 14;
int tabX(int page) { return 96 + 106 * page; }
int rowY(int line) { return 43 + 23 * line; }
constexpr int kLabelX = 73;
// The left column's sliders give 0 at x = 139 and 1 at x = 246.
int sliderX(float value) { return 139 + static_cast<int>(std::lround(value * 107.0f)); }
constexpr int kHelpX = 597;
int actionX(int action) { return 435 + 27 * action; }
constexpr int kActionY = 136;

bool allOf(const std::vector<std::uint32_t>& pixels, std::uint32_t color) {
    return std::all_of(pixels.begin(), pixels.end(), [&](std::uint32_t p) { return p == color; });
}

// The brush of the key-slider page at key 40, 45 pixels below its top (v = 63).
void brushAtKey40(std::int8_t* row) {
    const float weights[6] = {1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f};
    for (int d = -5; d <= 5; ++d) {
        const int k = 40 + d;
        const float old = row[k];
        const int v = static_cast<int>(old + (63.0f - old) * weights[std::abs(d)]);
        row[k] = static_cast<std::int8_t>(std::clamp(v, -127, 127));
    }
}
constexpr int kKey40X = 7 * 40 + 3;
constexpr int kKey40Y = 154 + 45;

bool same(const Program& a, const Program& b) { return std::memcmp(&a, &b, sizeof(Program)) == 0; }

std::vector<Program> bank(HostedEditor& editor) {
    void* data = nullptr;
    const VstIntPtr size = editor.plugin().dispatch(effGetChunk, 0, 0, &data);
    std::vector<Program> programs(kNumPrograms);
    if (data && size == static_cast<VstIntPtr>(sizeof(Program) * kNumPrograms))
        std::memcpy(programs.data(), data, static_cast<std::size_t>(size));
    return programs;
}

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.connected()) << "Xvfb could not be started"; }
    guitest::XTestHost host;
};

TEST_F(EditorWindow, ReportsItsSizeAndOpensOnlyInALiveParent) {
    HostedEditor editor(host);
    ERect* rect = nullptr;
    ASSERT_EQ(editor.plugin().dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 616);
    EXPECT_EQ(rect->bottom - rect->top, 404);

    EXPECT_EQ(editor.plugin().dispatch(effEditOpen, 0, 0, nullptr), 0);
    xcb_window_t gone = host.makeParent(0, 0, 616, 404);
    host.destroy(gone);
    EXPECT_EQ(editor.plugin().dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{gone})), 0);
    editor.plugin().dispatch(effEditIdle);
    editor.plugin().dispatch(effEditClose);

    ASSERT_EQ(editor.openAt(0, 0), 1);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixel(10, 40) == kBackground; }));
    // Page 0 has two rows, "volume" and "transpose", in the left column only.
    EXPECT_FALSE(allOf(editor.pixels(25, 35, 297, 53), kBackground));
    EXPECT_FALSE(allOf(editor.pixels(25, 58, 297, 76), kBackground));
    EXPECT_TRUE(allOf(editor.pixels(25, 81, 297, 146), kBackground));
    EXPECT_TRUE(allOf(editor.pixels(328, 35, 600, 122), kBackground));
}

TEST_F(EditorWindow, SlidersSetTheParameterInTheChunkWithEditTrafficButNoAutomation) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    const auto valueLabel = editor.pixels(266, 59, 296, 76);
    editor.plugin().calls.clear();

    editor.click(sliderX(0.75f), rowY(1));
    EXPECT_NEAR(editor.program().param[kTranspose], 0.75f, 0.5f / 107.0f);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(266, 59, 296, 76) != valueLabel; }));
    ASSERT_FALSE(editor.callsOf(audioMasterBeginEdit).empty());
    EXPECT_EQ(editor.callsOf(audioMasterBeginEdit).front().index, 1);
    ASSERT_FALSE(editor.callsOf(audioMasterEndEdit).empty());
    EXPECT_EQ(editor.callsOf(audioMasterEndEdit).back().index, 1);
    EXPECT_TRUE(editor.callsOf(audioMasterAutomate).empty());

    // Control-click sets the default, the middle.
    host.key(kKeysymControl, true);
    editor.click(sliderX(0.1f), rowY(0));
    host.key(kKeysymControl, false);
    editor.idle();
    EXPECT_FLOAT_EQ(editor.program().param[kVolume], 0.5f);

    // A drag follows the pointer; past the end it stops at 1.
    editor.drag({{sliderX(0.2f), rowY(0)}, {sliderX(0.6f), rowY(0)}, {300, rowY(0)}});
    EXPECT_FLOAT_EQ(editor.program().param[kVolume], 1.0f);
}

TEST_F(EditorWindow, KeysReachTheClickedSliderAndOtherKeysAreLeftToTheHost) {
    HostedEditor editor(host);
    constexpr VstIntPtr kRight = 13;  // VKEY_RIGHT
    EXPECT_EQ(editor.plugin().dispatch(effEditKeyDown, 0, kRight), 0);  // no window yet
    EXPECT_EQ(editor.plugin().dispatch(effSetEditKnobMode, 0, 2), 1);
    ASSERT_EQ(editor.openAt(0, 0), 1);

    editor.click(sliderX(0.5f), rowY(1));
    const float clicked = editor.program().param[kTranspose];
    EXPECT_EQ(editor.plugin().dispatch(effEditKeyDown, 0, kRight), 1);
    EXPECT_NEAR(editor.program().param[kTranspose], clicked + 0.05f, 1e-6f);
    EXPECT_EQ(editor.plugin().dispatch(effEditKeyUp, 0, kRight), 0);
    EXPECT_EQ(editor.plugin().dispatch(effEditKeyDown, 'a', 0), 0);
    EXPECT_NEAR(editor.program().param[kTranspose], clicked + 0.05f, 1e-6f);
}

TEST_F(EditorWindow, PaintingTheSustainBarsChangesExactlyTheBrushedOffsets) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    const Program before = editor.program();

    editor.click(tabX(1), kTabY);
    const auto logo = editor.pixels(0, 154, 616, 334);
    editor.click(kLabelX, rowY(2));  // "sustain"
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 154, 616, 334) != logo; }));
    editor.click(kKey40X, kKey40Y);

    Program expected = before;
    brushAtKey40(expected.keyOffset[kSustain]);
    const Program after = editor.program();
    EXPECT_TRUE(same(after, expected));
    EXPECT_EQ(after.keyOffset[kSustain][40], 63);

    // "x" on the selected row: 63 becomes 63 + 1 + 3.
    editor.click(actionX(3), kActionY);
    EXPECT_EQ(editor.program().keyOffset[kSustain][40], 67);

    // Clicking "damper" moves the selection; clicking it again shows the logo.
    editor.click(kLabelX, rowY(3));
    editor.click(actionX(0), kActionY);  // "0" resets damper's row only
    EXPECT_EQ(editor.program().keyOffset[kSustain][40], 67);
    for (int k = 0; k < kNumKeys; ++k) ASSERT_EQ(editor.program().keyOffset[kDamper][k], 0) << k;
    editor.click(kLabelX, rowY(3));
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 154, 616, 334) == logo; }));
    const Program unselected = editor.program();
    editor.click(actionX(1), kActionY);  // no row selected: "+" does nothing
    editor.click(kKey40X, kKey40Y);
    EXPECT_TRUE(same(unselected, editor.program()));
}

TEST_F(EditorWindow, VolumeRowOfPageZeroHasNoBarsAndActionsChangeNothing) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    const auto logo = editor.pixels(0, 154, 616, 334);
    const Program before = editor.program();
    editor.click(kLabelX, rowY(0));  // "volume": selected, but without offsets
    for (int action = 0; action < 7; ++action) editor.click(actionX(action), kActionY);
    editor.click(kKey40X, kKey40Y);
    EXPECT_EQ(editor.pixels(0, 154, 616, 334), logo);
    const Program after = editor.program();
    EXPECT_TRUE(same(before, after));
}

TEST_F(EditorWindow, ClickingAKeyOfTheKeyboardSoundsInTheNextBlock) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    EXPECT_EQ(editor.renderPeak(2048), 0.0f);
    editor.click(300, 395);
    EXPECT_GT(editor.renderPeak(512), 1e-4f);
}

TEST_F(EditorWindow, ProgramChangeFromTheHostUpdatesRowsAndTheSelectedOffsets) {
    HostedEditor editor(host);
    const auto programs = bank(editor);
    int other = -1;
    for (int p = 1; p < kNumPrograms && other < 0; ++p)
        if (std::fabs(programs[p].param[kDamper] - programs[0].param[kDamper]) > 0.05f) other = p;
    ASSERT_GE(other, 0) << "every factory program has program 0's damper";

    ASSERT_EQ(editor.openAt(0, 0), 1);
    editor.click(tabX(1), kTabY);
    editor.click(kLabelX, rowY(3));  // "damper"
    const auto damperSlider = editor.pixels(131, 105, 257, 121);
    editor.plugin().dispatch(effSetProgram, 0, other);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(131, 105, 257, 121) != damperSlider; }));

    // The bars now edit the new program's damper row, and the value the
    // editor re-sends is the new program's.
    editor.click(kKey40X, kKey40Y);
    Program expected = programs[other];
    brushAtKey40(expected.keyOffset[kDamper]);
    const Program after = editor.program();
    EXPECT_TRUE(same(after, expected));
    const auto bankAfter = bank(editor);
    EXPECT_TRUE(same(bankAfter[0], programs[0]));
}

TEST_F(EditorWindow, MidiVolumeFromTheAudioThreadReachesTheWindowInIdle) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    const auto volumeRow = editor.pixels(131, 36, 297, 54);

    // The audio thread sends controller 7 over and over while the window
    // thread idles; the window shows the value later, on its own thread.
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        VstMidiEvent cc{};
        cc.type = kVstMidiType;
        cc.byteSize = sizeof cc;
        cc.midiData[0] = static_cast<char>(0xB0);
        cc.midiData[1] = 7;
        cc.midiData[2] = 13;
        VstEvents events{};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&cc);
        std::vector<float> left(256), right(256);
        while (!stop.load()) {
            editor.plugin().dispatch(effProcessEvents, 0, 0, &events);
            editor.plugin().process(left.data(), right.data(), 256);
        }
    });
    const bool shown = editor.idleUntil([&] { return editor.pixels(131, 36, 297, 54) != volumeRow; });
    stop = true;
    audio.join();
    EXPECT_TRUE(shown);
    EXPECT_FLOAT_EQ(editor.program().param[kVolume], 13.0f / 127.0f);

    // On another page the volume is not shown; page 0 shows it again.
    editor.click(tabX(1), kTabY);
    editor.click(tabX(0), kTabY);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(131, 36, 297, 54) != volumeRow; }));
}

TEST_F(EditorWindow, PaintingWhileTheAudioThreadRendersKeepsEveryStroke) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    editor.click(tabX(1), kTabY);
    editor.click(kLabelX, rowY(2));  // "sustain"
    Program expected = editor.program();

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(256), right(256);
        while (!stop.load()) editor.plugin().process(left.data(), right.data(), 256);
    });
    editor.click(kKey40X, kKey40Y);
    editor.click(actionX(1), kActionY);  // "+"
    editor.click(actionX(6), kActionY);  // "S"
    stop = true;
    audio.join();

    brushAtKey40(expected.keyOffset[kSustain]);
    std::int8_t* row = expected.keyOffset[kSustain];
    for (int k = 0; k < kNumKeys; ++k) row[k] = static_cast<std::int8_t>(std::min(row[k] + 4, 127));
    std::int8_t old[kNumKeys];
    std::memcpy(old, row, sizeof old);
    for (int k = 1; k < kNumKeys - 1; ++k) row[k] = static_cast<std::int8_t>((old[k - 1] + old[k] + old[k + 1]) / 3);
    EXPECT_TRUE(same(editor.program(), expected));
}

TEST_F(EditorWindow, HelpModeExplainsWhatIsTouchedWhileControlsKeepWorking) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    editor.click(tabX(1), kTabY);
    const auto logo = editor.pixels(0, 154, 616, 334);

    editor.click(kHelpX, kTabY);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 154, 616, 334) != logo; }));
    const auto introduction = editor.pixels(0, 154, 616, 334);

    editor.click(sliderX(1.0f), rowY(0));  // "tuning"
    EXPECT_FLOAT_EQ(editor.program().param[kTuning], 1.0f);
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 154, 616, 334) != introduction; }));
    EXPECT_NE(editor.pixels(0, 154, 616, 334), logo);
    EXPECT_TRUE(editor.screenshot("editor-help.png"));

    // The key-slider page ignores the brush in help mode.
    editor.click(kLabelX, rowY(2));
    const Program before = editor.program();
    editor.click(kKey40X, kKey40Y);
    EXPECT_TRUE(same(before, editor.program()));

    // Help off: the selected row's bars come back, and the brush works again.
    editor.click(kHelpX, kTabY);
    editor.click(kLabelX, rowY(2));
    EXPECT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 154, 616, 334) == logo; }));
}

TEST_F(EditorWindow, ScreenshotsOfEveryPageShowTheirRows) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    EXPECT_TRUE(editor.screenshot("editor-page-pelmar.png"));
    for (int page = 1; page <= 2; ++page) {
        editor.click(tabX(page), kTabY);
        editor.idle();
        // Seven rows: 0..4 on the left, 5 and 6 on the right; 7..9 hidden.
        EXPECT_FALSE(allOf(editor.pixels(25, 127, 297, 145), kBackground)) << page;
        EXPECT_FALSE(allOf(editor.pixels(328, 58, 600, 76), kBackground)) << page;
        EXPECT_TRUE(allOf(editor.pixels(328, 81, 600, 123), kBackground)) << page;
        EXPECT_TRUE(editor.screenshot(page == 1 ? "editor-page-strings.png" : "editor-page-hammer.png"));
    }
    editor.click(kLabelX, rowY(2));  // "hardness"
    editor.drag({{0, 300}, {150, 220}, {300, 180}, {450, 230}, {615, 290}});
    EXPECT_NE(editor.program().keyOffset[kHardness][40], 0);
    EXPECT_TRUE(editor.screenshot("editor-key-sliders.png"));
}

TEST_F(EditorWindow, ReopeningComesBackOnPageZeroAndLeavesNothingBehind) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    const auto first = editor.pixels(0, 0, 616, 404);
    editor.close();
    const int threads = guitest::threadCount();
    const int files = guitest::openFileCount();

    for (int cycle = 0; cycle < 12; ++cycle) {
        ASSERT_EQ(editor.openAt(0, 0), 1) << cycle;
        ASSERT_TRUE(editor.idleUntil([&] { return editor.pixels(0, 0, 616, 404) == first; })) << cycle;
        editor.click(tabX(1 + cycle % 2), kTabY);
        editor.click(kLabelX, rowY(3));
        editor.click(kHelpX, kTabY);
        editor.close();
        editor.plugin().dispatch(effEditIdle);  // idle after close is harmless
    }
    EXPECT_EQ(guitest::threadCount(), threads);
    EXPECT_EQ(guitest::openFileCount(), files);
}

TEST_F(EditorWindow, HostClosingThePluginWithTheWindowOpenLeavesNothingBehind) {
    const int threads = guitest::threadCount();
    const int files = guitest::openFileCount();
    {
        HostedEditor editor(host);
        ASSERT_EQ(editor.openAt(0, 0), 1);
        editor.click(tabX(1), kTabY);
        editor.plugin().close();  // no effEditClose first
    }
    EXPECT_EQ(guitest::threadCount(), threads);
    EXPECT_EQ(guitest::openFileCount(), files);
}

TEST_F(EditorWindow, ValueLabelsShowTruncatedPercentsCentredForTransposeAndTuning) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    // Value labels of one program, read back as pixels, for chunk values.
    auto labelsFor = [&](float volume, float transpose) {
        Program program = editor.program();
        program.param[kVolume] = volume;
        program.param[kTranspose] = transpose;
        editor.plugin().dispatch(effSetChunk, 1, sizeof program, &program);
        editor.idle();
        return std::make_pair(editor.pixels(266, 36, 296, 53), editor.pixels(266, 59, 296, 76));
    };
    const auto [volume50, transpose0] = labelsFor(0.5f, 0.5f);
    const auto [volume0, transposeMinus50] = labelsFor(0.0f, 0.0f);
    EXPECT_EQ(labelsFor(0.0f, 0.5f).second, transpose0);          // transpose 0.5 shows what volume 0 shows
    EXPECT_EQ(volume0, transpose0);
    EXPECT_EQ(labelsFor(0.5f, 1.0f).second, volume50);             // transpose 1 shows "50", like volume 0.5
    EXPECT_EQ(labelsFor(0.999f, 0.0f).first, labelsFor(0.99f, 0.0f).first);  // "99": truncated, not rounded
    EXPECT_NE(labelsFor(0.999f, 0.0f).first, labelsFor(1.0f, 0.0f).first);
    EXPECT_NE(transposeMinus50, transpose0);

    // Whatever floats a chunk carries, the labels show a number and the window lives on.
    EXPECT_EQ(pmgui::valueNumber(0x00, std::nanf("")), 0);
    EXPECT_EQ(pmgui::valueNumber(0x01, 1e30f), 1000000 - 50);
    EXPECT_EQ(pmgui::valueNumber(0x10, -1e30f), -1000000 - 50);
    labelsFor(std::nanf(""), 1e30f);
    EXPECT_EQ(editor.pixel(10, 40), kBackground);
}

TEST_F(EditorWindow, AHostDestroyingItsWindowBeforeCloseDoesNotHurtThePlugin) {
    HostedEditor editor(host);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    host.destroy(editor.parent());
    editor.idle();
    EXPECT_EQ(editor.plugin().dispatch(effEditKeyDown, 0, 13), 0);
    editor.plugin().dispatch(effEditClose);
    ASSERT_EQ(editor.openAt(0, 0), 1);
    editor.click(sliderX(1.0f), rowY(1));
    EXPECT_FLOAT_EQ(editor.program().param[kTranspose], 1.0f);
}

TEST_F(EditorWindow, TwoEditorsOpenAtOnceEachDriveTheirOwnPlugin) {
    HostedEditor left(host);
    HostedEditor right(host);
    ASSERT_EQ(left.openAt(0, 0), 1);
    ASSERT_EQ(right.openAt(620, 300), 1);
    right.click(tabX(2), kTabY);
    right.click(sliderX(0.0f), rowY(1));  // "sharpness"
    left.click(sliderX(1.0f), rowY(1));   // "transpose"
    left.idle();
    right.idle();
    EXPECT_FLOAT_EQ(left.program().param[kTranspose], 1.0f);
    EXPECT_FLOAT_EQ(right.program().param[kSharpness], 0.0f);
    EXPECT_NE(right.program().param[kTranspose], 1.0f);
    EXPECT_NE(left.program().param[kSharpness], 0.0f);
    // Closing one leaves the other working.
    left.close();
    right.click(sliderX(1.0f), rowY(1));
    EXPECT_FLOAT_EQ(right.program().param[kSharpness], 1.0f);
}

// A host that runs the editor's idle from inside its begin/end-edit
// callbacks, as some hosts do.
AEffect* reentrantEffect = nullptr;
int reentrantEdits = 0;
VstInt32 reentrantRequest = effEditIdle;  // what the host sends from inside an edit callback
VstIntPtr VSTCALLBACK reentrantHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if ((opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit) && reentrantEffect) {
        ++reentrantEdits;
        reentrantEffect->dispatcher(reentrantEffect, reentrantRequest, 0, 0, nullptr, 0.0f);
    }
    return 0;
}

TEST_F(EditorWindow, IdleCalledFromInsideAnEditCallbackWaitsForTheOuterIdle) {
    vsthost::PluginLibrary library(PELMAR_PLUGIN_PATH);
    AEffect* effect = library.entry()(reentrantHost);
    ASSERT_NE(effect, nullptr);
    auto dispatch = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    };
    dispatch(effOpen);
    const xcb_window_t parent = host.makeParent(0, 0, 616, 404);
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent})), 1);
    reentrantEffect = effect;
    reentrantEdits = 0;
    auto idle = [&] {
        for (int i = 0; i < 10; ++i) {
            dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
    };
    idle();
    // Press, drag and release all wait for one idle: the release lands on 1.
    host.moveTo(sliderX(0.2f), rowY(1));
    host.button(1, true);
    host.moveTo(sliderX(0.5f), rowY(1));
    host.moveTo(sliderX(1.0f), rowY(1));
    host.button(1, false);
    host.sync();
    idle();
    void* data = nullptr;
    ASSERT_EQ(dispatch(effGetChunk, 1, 0, &data), static_cast<VstIntPtr>(sizeof(Program)));
    EXPECT_FLOAT_EQ(static_cast<const Program*>(data)->param[kTranspose], 1.0f);
    EXPECT_EQ(reentrantEdits, 2);

    // A host that closes the window from inside the callback: the rest of
    // that idle's input reaches no view, and the plug-in lives on.
    reentrantRequest = effEditClose;
    host.click(sliderX(0.0f), rowY(0));
    idle();
    reentrantRequest = effEditIdle;
    EXPECT_EQ(dispatch(effEditKeyDown, 0, 13), 0);
    ASSERT_EQ(dispatch(effGetChunk, 1, 0, &data), static_cast<VstIntPtr>(sizeof(Program)));
    EXPECT_FLOAT_EQ(static_cast<const Program*>(data)->param[kTranspose], 1.0f);
    reentrantEffect = nullptr;
    dispatch(effEditClose);
    dispatch(effClose);
    host.destroy(parent);
}

}  // namespace

// The toolkit under a real X server (a private Xvfb): an editor opened in a
// host's window, driven with XTest input and checked by reading its pixels
// back from the server.
#include <gtest/gtest.h>

#include <dirent.h>

#include <memory>

#include "editor/CTextButton.h"
#include "editor/keyboard.h"
#include "support/gui_test_support.h"
#include "support/x_test_host.h"

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;
constexpr std::uint32_t kBackground = 0x204080;
constexpr std::uint32_t kRed = 0xC80000;
constexpr std::uint32_t kGreen = 0x00C800;

// An editor with a toggle (tag 1), a push button (tag 2), a slider (tag 3)
// and a keyboard strip (tag 4), listening to its own controls.
class TestEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = ERect{0, 0, kHeight, kWidth}; }
    ~TestEditor() override { close(); }

    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        auto* newFrame = new CFrame(CRect(0, 0, kWidth, kHeight), ptr, this);
        if (!newFrame->isValid()) {
            newFrame->forget();
            return false;
        }
        newFrame->setBackgroundColor(MakeCColor(32, 64, 128));
        auto* buttonBitmap = new CBitmap("testbutton.bmp");
        auto* handle = new CBitmap("testhandle.bmp");
        auto* back = new CBitmap("testback.bmp");
        toggle = new CTextButton(CRect(10, 10, 30, 20), this, 1, buttonBitmap, "T", false);
        push = new CTextButton(CRect(40, 10, 60, 20), this, 2, buttonBitmap, "P", true);
        slider = new CHorizontalSlider(CRect(100, 10, 140, 20), this, 3, CPoint(2, 2), 40 - 7, handle, back);
        slider->setWheelInc(0.05f);
        keys = new keyboard(CRect(0, 60, 200, 100), this, 4, nullptr, 9);
        newFrame->addView(toggle);
        newFrame->addView(push);
        newFrame->addView(slider);
        newFrame->addView(keys);
        buttonBitmap->forget();
        handle->forget();
        back->forget();
        frame = newFrame;
        return true;
    }

    void valueChanged(CControl* control) override { changes.push_back({control->getTag(), control->getValue()}); }

    std::vector<guitest::Change> changes;
    CTextButton* toggle = nullptr;
    CTextButton* push = nullptr;
    CHorizontalSlider* slider = nullptr;
    keyboard* keys = nullptr;
};

void* asParent(xcb_window_t window) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.connected()) << "Xvfb could not be started";
        testhost::reset();
    }

    // Opens an editor in a new parent window at (x, y) of the screen.
    std::unique_ptr<TestEditor> openAt(int x, int y, xcb_window_t* parentOut = nullptr) {
        xcb_window_t parent = host.makeParent(x, y, kWidth, kHeight);
        if (parentOut) *parentOut = parent;
        auto editor = std::make_unique<TestEditor>(&effect);
        EXPECT_TRUE(editor->open(asParent(parent)));
        return editor;
    }

    bool showsPixel(TestEditor& editor, int x, int y, std::uint32_t color) {
        unsigned long window = editor.getFrame()->getWindowId();
        return guitest::XTestHost::idleUntil(editor, [&] { return host.pixel(window, x, y) == color; });
    }

    guitest::XTestHost host;
    guitest::SilentEffect effect;
};

TEST_F(X11Editor, OpensAsAChildOfTheHostWindowAndDraws) {
    xcb_window_t parent;
    auto editor = openAt(0, 0, &parent);
    ASSERT_NE(editor->getFrame(), nullptr);
    unsigned long window = editor->getFrame()->getWindowId();
    EXPECT_TRUE(host.isChildOf(window, parent));
    EXPECT_TRUE(showsPixel(*editor, 11, 11, kRed)) << "toggle drawn in its off frame";
    EXPECT_EQ(host.pixel(window, 5, 50), kBackground);
    EXPECT_EQ(host.pixel(window, 112, 15), 0x0000C8u) << "slider background";
    std::string shot = std::string(PELMAR_GUI_ARTEFACTS) + "/x11_editor_screenshot.png";
    std::remove(shot.c_str());
    EXPECT_TRUE(host.screenshot(window, kWidth, kHeight, shot)) << "kept as a test artefact";
    FILE* png = std::fopen(shot.c_str(), "rb");
    EXPECT_NE(png, nullptr);
    if (png) std::fclose(png);
    ERect* r = nullptr;
    ASSERT_TRUE(editor->getRect(&r));
    EXPECT_EQ(r->right, kWidth);
}

TEST_F(X11Editor, ClicksToggleAndPushButtonsAndRedrawThem) {
    auto editor = openAt(0, 0);
    ASSERT_TRUE(showsPixel(*editor, 11, 11, kRed));
    host.click(15, 15);
    EXPECT_TRUE(showsPixel(*editor, 11, 11, kGreen)) << "toggle now in its on frame";
    ASSERT_EQ(editor->changes.size(), 1u);
    EXPECT_EQ(editor->changes[0].tag, 1);
    EXPECT_EQ(editor->changes[0].value, 1.0f);

    // Push button: on while held inside, off when the pointer leaves, one report.
    host.moveTo(45, 15);
    host.button(1, true);
    EXPECT_TRUE(showsPixel(*editor, 41, 11, kGreen));
    host.moveTo(80, 40);
    EXPECT_TRUE(showsPixel(*editor, 41, 11, kRed));
    host.button(1, false);
    editor->idle();
    EXPECT_EQ(editor->changes.size(), 2u);
    EXPECT_EQ(editor->changes.back().tag, 2);
}

TEST_F(X11Editor, SliderDragsWithShiftControlWheelAndKeys) {
    auto editor = openAt(0, 0);
    TestEditor& e = *editor;
    ASSERT_TRUE(showsPixel(e, 11, 11, kRed));
    // Free click: x = 100 + 2 + 5/2 - 1 = 103 is 0, 103 + 28 = 131 is 1.
    host.moveTo(131, 15);
    host.button(1, true);
    ASSERT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return e.slider->getValue() == 1.0f; }));
    host.moveTo(103, 15);
    ASSERT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return e.slider->getValue() == 0.0f; }));
    host.key(0xffe1, true);  // Shift_L
    host.moveTo(103 + 28, 15);
    EXPECT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return std::abs(e.slider->getValue() - 0.1f) < 1e-5f; }))
        << e.slider->getValue();
    host.key(0xffe1, false);
    host.button(1, false);
    editor->idle();
    EXPECT_EQ(guitest::hostCallIndices(audioMasterBeginEdit), std::vector<VstInt32>{3});
    EXPECT_EQ(guitest::hostCallIndices(audioMasterEndEdit), std::vector<VstInt32>{3});

    // Control-click sets the middle.
    host.key(0xffe3, true);  // Control_L
    host.click(110, 15);
    host.key(0xffe3, false);
    EXPECT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return e.slider->getValue() == 0.5f; }));

    // Wheel up over the slider: one step of 0.05.
    host.click(120, 15, 4);
    EXPECT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return std::abs(e.slider->getValue() - 0.55f) < 1e-5f; }));

    // The click gave the window the keyboard focus: the Left key reaches the slider.
    host.key(0xff51, true);
    host.key(0xff51, false);
    EXPECT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return std::abs(e.slider->getValue() - 0.5f) < 1e-5f; }));
    // The handle is drawn where the value says: 100 + 2 + 14 = 116.
    EXPECT_TRUE(showsPixel(e, 118, 14, 0xFFFFFFu));
}

TEST_F(X11Editor, KeyboardDragKeepsOnlyTheNewestMotionOfABurst) {
    auto editor = openAt(0, 0);
    TestEditor& e = *editor;
    ASSERT_TRUE(showsPixel(e, 11, 11, kRed));
    host.moveTo(3, 70);
    host.button(1, true);
    ASSERT_TRUE(guitest::XTestHost::idleUntil(e, [&] { return e.changes.size() == 1; }));
    // Twenty motions across twenty keys before the next idle.
    for (int k = 1; k <= 20; ++k) host.moveTo(3 + 7 * k, 70);
    host.button(1, false);
    guitest::XTestHost::idleUntil(e, [&] { return !e.changes.empty() && e.changes.back().value == 20.0f; });
    ASSERT_FALSE(e.changes.empty());
    EXPECT_EQ(e.changes.back().value, 20.0f);
    EXPECT_LT(e.changes.size(), 10u) << "a burst of motion is handled as its newest event";
}

TEST_F(X11Editor, ExposedAreasAreRedrawn) {
    xcb_window_t parent;
    auto editor = openAt(0, 0, &parent);
    ASSERT_TRUE(showsPixel(*editor, 11, 11, kRed));
    xcb_unmap_window(host.xcb(), parent);
    host.sync();
    xcb_map_window(host.xcb(), parent);
    host.sync();
    EXPECT_NE(host.pixel(editor->getFrame()->getWindowId(), 11, 11), kRed) << "the server kept no copy";
    EXPECT_TRUE(showsPixel(*editor, 11, 11, kRed));
    EXPECT_TRUE(showsPixel(*editor, 5, 50, kBackground));
}

TEST_F(X11Editor, HostKeyRequestsGoToTheFocusedControl) {
    auto editor = openAt(0, 0);
    VstKeyCode left{0, VKEY_LEFT, 0};
    EXPECT_FALSE(editor->onKeyDown(left)) << "nothing focused: the host keeps its key";
    host.click(120, 15);
    ASSERT_TRUE(guitest::XTestHost::idleUntil(*editor, [&] { return editor->changes.size() == 1; }));
    float clicked = editor->slider->getValue();
    EXPECT_TRUE(editor->onKeyDown(left));
    EXPECT_NEAR(editor->slider->getValue(), clicked - 0.05f, 1e-6);
    VstKeyCode space{' ', VKEY_SPACE, 0};
    EXPECT_FALSE(editor->onKeyDown(space));
    EXPECT_FALSE(editor->onKeyUp(left));
    // Opening again without a close replaces the window.
    xcb_window_t parent = host.makeParent(0, 0, kWidth, kHeight);
    ASSERT_TRUE(editor->open(asParent(parent)));
    EXPECT_TRUE(showsPixel(*editor, 11, 11, kRed));
}

TEST_F(X11Editor, SeveralEditorsWorkSideBySide) {
    auto first = openAt(0, 0);
    auto second = openAt(300, 200);
    ASSERT_TRUE(showsPixel(*first, 11, 11, kRed));
    ASSERT_TRUE(showsPixel(*second, 11, 11, kRed));
    host.click(300 + 15, 200 + 15);
    EXPECT_TRUE(showsPixel(*second, 11, 11, kGreen));
    first->idle();
    EXPECT_TRUE(first->changes.empty());
    EXPECT_EQ(second->changes.size(), 1u);
    host.click(15, 15);
    EXPECT_TRUE(showsPixel(*first, 11, 11, kGreen));
    EXPECT_EQ(second->changes.size(), 1u);
}

TEST_F(X11Editor, ParentThatDisappearsLeavesAQuietEditor) {
    xcb_window_t parent;
    auto editor = openAt(0, 0, &parent);
    ASSERT_TRUE(showsPixel(*editor, 11, 11, kRed));
    host.destroy(parent);
    EXPECT_TRUE(guitest::XTestHost::idleUntil(*editor, [&] { return !editor->getFrame()->isWindowOpen(); }));
    editor->toggle->setValue(1.0f);  // drawing now goes nowhere, without harm
    for (int i = 0; i < 5; ++i) editor->idle();
    editor->close();
    EXPECT_FALSE(editor->isOpen());
    // Opening in the vanished window, or in no window at all, fails cleanly.
    EXPECT_FALSE(editor->open(asParent(parent)));
    EXPECT_FALSE(editor->open(asParent(0x7fffff)));
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle();
}

int openDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}

TEST_F(X11Editor, OpenCloseCyclesLeaveNoConnectionBehind) {
    xcb_window_t parent = host.makeParent(0, 0, kWidth, kHeight);
    TestEditor editor(&effect);
    ASSERT_TRUE(editor.open(asParent(parent)));
    editor.idle();
    editor.close();
    int before = openDescriptors();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(editor.open(asParent(parent)));
        editor.idle();
        editor.close();
    }
    EXPECT_EQ(openDescriptors(), before);
    host.sync();
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(host.xcb(), xcb_query_tree(host.xcb(), parent), nullptr);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(xcb_query_tree_children_length(tree), 0) << "every editor window was destroyed";
    std::free(tree);
}

TEST_F(X11Editor, TakesTheVisualAndDepthOfA32BitParent) {
    xcb_window_t parent = host.makeParent(0, 0, kWidth, kHeight, 32);
    if (!parent) GTEST_SKIP() << "the server offers no 32-bit visual";
    TestEditor editor(&effect);
    ASSERT_TRUE(editor.open(asParent(parent)));
    EXPECT_TRUE(showsPixel(editor, 11, 11, kRed));
}

}  // namespace

// The toolkit without a window: slider arithmetic, bitmaps, the frame's
// event routing, focus and keys, dirty redraws and the editor's value queue.
#include <gtest/gtest.h>

#include <thread>

#include "gui/bmp_decoder.h"
#include "gui/embedded_resources.h"
#include "support/gui_test_support.h"

namespace {

// A row slider as the editor builds it: 125 x 15 at x = 131, handle offset
// (4, 2), handle range 125 - 7 with an 11-pixel handle.
struct RowSlider {
    guitest::SilentEffect effect;
    AEffGUIEditor editor{&effect};
    CFrame* frame = new CFrame(CRect(0, 0, 616, 404), nullptr, &editor);
    guitest::RecordingListener listener;
    CBitmap handle{11, 11};
    CHorizontalSlider* slider = new CHorizontalSlider(CRect(131, 36, 256, 51), &listener, 3, CPoint(4, 2), 125 - 7,
                                                      &handle, nullptr, CPoint(0, 0), kLeft);
    RowSlider() {
        slider->setWheelInc(0.05f);
        slider->setFreeClick(true);
        frame->addView(slider);
        testhost::reset();
    }
    ~RowSlider() { frame->forget(); }
    void down(int x, long buttons = kLButton) {
        CPoint p(x, 40);
        frame->onMouseDown(p, buttons);
    }
    void drag(int x, long buttons = kLButton) {
        CPoint p(x, 40);
        frame->onMouseMoved(p, buttons);
    }
    void up(int x) {
        CPoint p(x, 40);
        frame->onMouseUp(p, kLButton);
    }
};

TEST(HorizontalSlider, FreeClickMapsTheTravelToZeroToOne) {
    RowSlider s;
    EXPECT_EQ(s.slider->getHandleTravel(), 107);
    s.down(139);
    EXPECT_FLOAT_EQ(s.slider->getValue(), 0.0f);
    s.drag(246);
    EXPECT_FLOAT_EQ(s.slider->getValue(), 1.0f);
    s.drag(139 + 107 / 2);
    EXPECT_NEAR(s.slider->getValue(), 53.0f / 107.0f, 1e-6);
    s.drag(100);
    EXPECT_EQ(s.slider->getValue(), 0.0f) << "limited to 0";
    s.drag(400);
    EXPECT_EQ(s.slider->getValue(), 1.0f);
    s.up(400);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterBeginEdit), std::vector<VstInt32>{3});
    EXPECT_EQ(guitest::hostCallIndices(audioMasterEndEdit), std::vector<VstInt32>{3});
    EXPECT_GE(s.listener.changes.size(), 4u);
}

TEST(HorizontalSlider, ShiftDragMovesATenthAsFast) {
    RowSlider s;
    s.slider->setValue(0.5f);
    s.down(200, kLButton | kShift);
    EXPECT_FLOAT_EQ(s.slider->getValue(), 0.5f) << "a Shift press does not jump";
    s.drag(200 + 107, kLButton | kShift);
    EXPECT_NEAR(s.slider->getValue(), 0.6f, 1e-5);
    // Releasing Shift continues from there at full speed without a jump.
    s.drag(200 + 107, kLButton);
    EXPECT_NEAR(s.slider->getValue(), 0.6f, 1e-5);
    s.drag(200 + 107 - 10, kLButton);
    EXPECT_NEAR(s.slider->getValue(), 0.6f - 10.0f / 107.0f, 1e-5);
    // Shift pressed together with a move counts from the previous position.
    s.drag(200 + 107 - 10 + 107, kLButton | kShift);
    EXPECT_NEAR(s.slider->getValue(), 0.7f - 10.0f / 107.0f, 1e-5);
}

TEST(HorizontalSlider, ControlClickSetsTheDefaultWithinOneEdit) {
    RowSlider s;
    s.slider->setValue(0.9f);
    s.down(139, kLButton | kControl);
    EXPECT_EQ(s.slider->getValue(), 0.5f);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterBeginEdit).size(), 1u);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterEndEdit).size(), 1u);
    // Control with Shift is not the default click.
    s.up(139);
    s.down(139, kLButton | kControl | kShift);
    EXPECT_EQ(s.slider->getValue(), 0.5f) << "Shift press keeps the value";
}

TEST(HorizontalSlider, WheelStepsAndArrowKeys) {
    RowSlider s;
    s.slider->setValue(0.5f);
    CPoint p(200, 40);
    VstKeyCode right{0, VKEY_RIGHT, 0};
    EXPECT_EQ(s.frame->onKeyDown(right), -1) << "no focus yet";
    EXPECT_TRUE(s.frame->onWheel(p, 1.0f, 0));
    EXPECT_NEAR(s.slider->getValue(), 0.55f, 1e-6);
    s.frame->onWheel(p, -1.0f, kShift);
    EXPECT_NEAR(s.slider->getValue(), 0.545f, 1e-6);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterBeginEdit).size(), 2u);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterEndEdit).size(), 2u);
    s.slider->setValue(1.0f);
    s.frame->onWheel(p, 1.0f, 0);
    EXPECT_EQ(s.slider->getValue(), 1.0f);
    EXPECT_EQ(guitest::hostCallIndices(audioMasterBeginEdit).size(), 2u) << "no edit when nothing changes";

    // The arrow keys step like the wheel once the slider has the focus.
    VstKeyCode left{0, VKEY_LEFT, 0};
    ASSERT_EQ(s.frame->getFocusView(), s.slider) << "an edit takes the focus";
    EXPECT_EQ(s.frame->onKeyDown(left), 1);
    EXPECT_NEAR(s.slider->getValue(), 0.95f, 1e-6);
    VstKeyCode letter{'a', 0, 0};
    EXPECT_EQ(s.frame->onKeyDown(letter), -1) << "unused keys stay with the host";
    s.frame->setFocusView(nullptr);
    EXPECT_EQ(s.frame->onKeyDown(left), -1);
}

TEST(HorizontalSlider, ClickTakesTheFocus) {
    RowSlider s;
    EXPECT_EQ(s.frame->getFocusView(), nullptr);
    s.down(150);
    s.up(150);
    EXPECT_EQ(s.frame->getFocusView(), s.slider);
    CPoint outside(5, 5);
    s.frame->onMouseDown(outside, kLButton);
    EXPECT_EQ(s.frame->getFocusView(), nullptr);
}

TEST(HorizontalSlider, DrawsTheHandleAtTheValue) {
    CFrame frame(CRect(0, 0, 300, 60), nullptr, nullptr);
    frame.setBackgroundColor(kBlackCColor);
    auto* handle = new CBitmap("testhandle.bmp");
    auto* back = new CBitmap("testback.bmp");
    auto* slider = new CHorizontalSlider(CRect(100, 10, 140, 20), nullptr, 0, CPoint(2, 2), 40 - 7, handle, back);
    handle->forget();
    back->forget();
    frame.addView(slider);
    EXPECT_EQ(slider->getHandleTravel(), 28);
    slider->setValue(1.0f);
    frame.redraw();
    cairo_surface_t* image = frame.getBackBuffer();
    // Handle at x = 100 + 2 + 28 .. 135, y = 12 .. 17, its magenta corners transparent.
    EXPECT_EQ(guitest::pixel(image, 131, 13), 0xFFFFFFu);
    EXPECT_EQ(guitest::pixel(image, 130, 12), 0x0000C8u);
    EXPECT_EQ(guitest::pixel(image, 129, 13), 0x0000C8u);
    EXPECT_EQ(guitest::countPixels(image, CRect(100, 10, 140, 20), 0xFFFFFFu), 25 - 4);
}

TEST(Bitmap, LoadsEmbeddedBmpsAndReportsMissingOnesAsEmpty) {
    CBitmap grid("TESTGRID.BMP");
    ASSERT_TRUE(grid.isLoaded());
    EXPECT_EQ(grid.getWidth(), 12);
    EXPECT_EQ(grid.getHeight(), 6);
    CBitmap missing("nothere.bmp");
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    EXPECT_EQ(missing.getHeight(), 0);
    CFrame frame(CRect(0, 0, 20, 20), nullptr, nullptr);
    CDrawContext context(frame.getBackBuffer());
    missing.draw(&context, CRect(0, 0, 20, 20));
    // Offsets pick the bitmap's pixels; a negative one centres a small picture.
    grid.draw(&context, CRect(0, 0, 4, 4), CPoint(3, 2));
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 0, 0), (60u << 16) | (80u << 8) | 100u);
    grid.draw(&context, CRect(10, 10, 20, 20), CPoint(-2, -1));
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 12, 11), 100u);
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 11, 11), 0u) << "outside the picture nothing is drawn";
}

TEST(Bitmap, DecoderRefusesBrokenFilesAndKeepsAlpha) {
    const EmbeddedResource* file = findResource("testgrid.bmp");
    ASSERT_NE(file, nullptr);
    DecodedImage image;
    EXPECT_TRUE(decodeBmp(file->data, file->size, image));
    EXPECT_EQ(image.pixels[0], 0xFF000064u);
    EXPECT_FALSE(decodeBmp(file->data, file->size - 1, image)) << "truncated";
    EXPECT_FALSE(decodeBmp(file->data, 30, image));
    std::vector<unsigned char> copy(file->data, file->data + file->size);
    copy[28] = 8;  // 8 bits per pixel
    EXPECT_FALSE(decodeBmp(copy.data(), copy.size(), image));
    copy[28] = 24;
    copy[30] = 1;  // run-length compressed
    EXPECT_FALSE(decodeBmp(copy.data(), copy.size(), image));
    copy[30] = 0;
    copy[18] = 0xFF, copy[19] = 0xFF, copy[20] = 0, copy[21] = 0;  // 65535 wide
    EXPECT_FALSE(decodeBmp(copy.data(), copy.size(), image));

    const EmbeddedResource* alpha = findResource("testalpha.bmp");
    ASSERT_NE(alpha, nullptr);
    ASSERT_TRUE(decodeBmp(alpha->data, alpha->size, image));
    EXPECT_EQ(image.pixels[0], 0xFFFFFF00u);
    EXPECT_EQ(image.pixels[1], 0u) << "transparent and premultiplied";
}

// A view that counts its draws.
class CountingView : public CView {
public:
    using CView::CView;
    void draw(CDrawContext* context) override {
        ++draws;
        context->setFillColor(kWhiteCColor);
        context->fillRect(size);
        setDirty(false);
    }
    int draws = 0;
};

TEST(Frame, RedrawsOnlyWhatIsDirty) {
    CFrame frame(CRect(0, 0, 100, 100), nullptr, nullptr);
    frame.setBackgroundColor(kRedCColor);
    auto* a = new CountingView(CRect(0, 0, 10, 10));
    auto* b = new CountingView(CRect(50, 50, 60, 60));
    frame.addView(a);
    frame.addView(b);
    frame.redraw();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    frame.redraw();
    EXPECT_EQ(a->draws, 1) << "nothing dirty, nothing drawn";
    b->invalid();
    frame.redraw();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 2);
    // A hidden view's area shows the background again.
    b->setVisible(false);
    frame.redraw();
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 55, 55), 0xFF0000u);
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 5, 5), 0xFFFFFFu);
    CPoint inB(55, 55);
    EXPECT_EQ(frame.onMouseDown(inB, kLButton), kMouseEventNotHandled) << "hidden views get no clicks";
}

TEST(Frame, ControlsRedrawWhenTheirValueChanges) {
    CFrame frame(CRect(0, 0, 40, 30), nullptr, nullptr);
    auto* bitmap = new CBitmap("testbutton.bmp");
    auto* button = new COnOffButton(CRect(0, 0, 20, 10), nullptr, 0, bitmap);
    bitmap->forget();
    frame.addView(button);
    frame.redraw();
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 3, 3), 0xC80000u);
    button->setValue(1.0f);
    EXPECT_TRUE(frame.isDirty());
    frame.redraw();
    EXPECT_EQ(guitest::pixel(frame.getBackBuffer(), 3, 3), 0x00C800u);
    EXPECT_FALSE(frame.isDirty());
}

TEST(Frame, TextLabelDefaultsDrawWhiteOnBlack) {
    CFrame frame(CRect(0, 0, 40, 30), nullptr, nullptr);
    frame.setBackgroundColor(kRedCColor);
    auto* label = new CTextLabel(CRect(0, 0, 30, 17), "50");
    frame.addView(label);
    frame.redraw();
    EXPECT_STREQ(label->getText(), "50");
    EXPECT_EQ(guitest::countPixels(frame.getBackBuffer(), CRect(0, 0, 30, 17), 0xFF0000u), 0);
    EXPECT_GT(guitest::countWhitish(frame.getBackBuffer(), CRect(0, 0, 30, 17)), 5);
}

class QueueingEditor : public AEffGUIEditor {
public:
    using AEffGUIEditor::AEffGUIEditor;
    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        frame = new CFrame(CRect(0, 0, 10, 10), nullptr, this);
        return true;
    }
    std::vector<std::pair<VstInt32, float>> applied;

protected:
    void applyParameter(VstInt32 index, float value) override { applied.emplace_back(index, value); }
};

TEST(Editor, QueuedValuesArriveInIdleNewestFirstOnce) {
    guitest::SilentEffect effect;
    QueueingEditor editor(&effect);
    editor.queueParameter(5, 0.1f);  // before open: discarded, open reads values afresh
    ASSERT_TRUE(editor.open(nullptr));
    std::thread audio([&] {
        for (int i = 0; i <= 1000; ++i) editor.queueParameter(0x10, i / 1000.0f);
        editor.queueParameter(-1, 1.0f);
        editor.queueParameter(AEffGUIEditor::kQueueSlots, 1.0f);
    });
    audio.join();
    editor.queueParameter(0x26, 0.25f);
    editor.idle();
    ASSERT_EQ(editor.applied.size(), 2u);
    EXPECT_EQ(editor.applied[0], std::make_pair(VstInt32{0x10}, 1.0f));
    EXPECT_EQ(editor.applied[1], std::make_pair(VstInt32{0x26}, 0.25f));
    editor.idle();
    EXPECT_EQ(editor.applied.size(), 2u);
    editor.close();
    EXPECT_EQ(editor.getFrame(), nullptr);
    editor.idle();  // closed: nothing to do, nothing breaks
}

// Closes the window, and idles again, from inside idle, as a host may do
// from a begin/end-edit callback.
class ClosingEditor : public QueueingEditor {
public:
    using QueueingEditor::QueueingEditor;

protected:
    void applyParameter(VstInt32, float) override {
        CControl* control = new CControl(CRect(0, 0, 5, 5));
        frame->addView(control);
        idle();  // nested: nothing happens
        close();
        EXPECT_EQ(getFrame(), nullptr);
    }
};

TEST(Editor, ClosingFromInsideIdleFinishesThatIdleFirst) {
    guitest::SilentEffect effect;
    ClosingEditor editor(&effect);
    ASSERT_TRUE(editor.open(nullptr));
    editor.queueParameter(1, 0.5f);
    editor.idle();  // the frame it redraws stays alive until this returns
    EXPECT_FALSE(editor.isOpen());
    ASSERT_TRUE(editor.open(nullptr));
    editor.idle();
    EXPECT_TRUE(editor.isOpen());
}

}  // namespace

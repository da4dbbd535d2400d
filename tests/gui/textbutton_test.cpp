// The text button as toggle and as push button, and how it is drawn.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/CTextButton.h"
#include "support/gui_test_support.h"

using guitest::move;
using guitest::press;
using guitest::release;

namespace {

const CRect kButton(10, 10, 30, 20);

TEST(TextButton, ToggleReportsOnThenOff) {
    guitest::RecordingListener listener;
    CTextButton button(kButton, &listener, 0x101, nullptr, "damper", false);
    EXPECT_EQ(press(button, 15, 15), kMouseEventHandled);
    release(button, 15, 15);
    EXPECT_EQ(button.getValue(), 1.0f) << "a toggle stays on after the release";
    press(button, 15, 15);
    release(button, 15, 15);
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_EQ(listener.changes[0].value, 1.0f);
    EXPECT_EQ(listener.changes[1].value, 0.0f);
    EXPECT_EQ(listener.changes[1].tag, 0x101);
}

TEST(TextButton, RightButtonFlipsAToggleToo) {
    guitest::RecordingListener listener;
    CTextButton button(kButton, &listener, 0x400, nullptr, "pelmar", false);
    press(button, 15, 15, kRButton);
    EXPECT_EQ(button.getValue(), 1.0f);
    EXPECT_EQ(listener.changes.size(), 1u);
}

TEST(TextButton, MomentaryReportsOnceAndIsOffAfterRelease) {
    guitest::RecordingListener listener;
    CTextButton button(kButton, &listener, 0x605, nullptr, "R", true);
    press(button, 15, 15);
    EXPECT_EQ(button.getValue(), 1.0f);
    move(button, 30, 20);  // the edges count as inside
    EXPECT_EQ(button.getValue(), 1.0f);
    move(button, 31, 15);
    EXPECT_EQ(button.getValue(), 0.0f) << "the on frame goes while the pointer is outside";
    move(button, 20, 15);
    EXPECT_EQ(button.getValue(), 1.0f);
    move(button, 5, 15);
    release(button, 5, 15);
    EXPECT_EQ(button.getValue(), 0.0f);
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0].value, 1.0f);
}

TEST(TextButton, RightDragOverAMomentaryButtonChangesNothing) {
    CTextButton button(kButton, nullptr, 0x600, nullptr, "0", true);
    press(button, 15, 15, kRButton);
    float pressed = button.getValue();
    move(button, 100, 100, kRButton);
    EXPECT_EQ(button.getValue(), pressed);
    release(button, 100, 100, kRButton);
    EXPECT_EQ(button.getValue(), 0.0f);
}

TEST(TextButton, CaptionIsCopiedAndCutToItsBuffer) {
    CTextButton button(kButton, nullptr, 0x100, nullptr, "volume", false);
    button.setText(nullptr);
    EXPECT_STREQ(button.getText(), "volume");
    std::string longCaption(100, 'a');
    button.setText(longCaption.c_str());
    EXPECT_EQ(std::strlen(button.getText()), 31u);
    CTextButton longButton(kButton, nullptr, 0x100, nullptr, longCaption.c_str(), false);
    EXPECT_EQ(std::strlen(longButton.getText()), 31u);
    EXPECT_TRUE(button.isTypeOf("COnOffButton"));
    EXPECT_TRUE(button.isTypeOf("CView"));
    EXPECT_FALSE(button.isTypeOf("CTextLabel"));
}

TEST(TextButton, DrawsTheFrameOfItsStateWithAWhiteCaption) {
    CFrame frame(CRect(0, 0, 40, 30), nullptr, nullptr);
    CBitmap* bitmap = new CBitmap("testbutton.bmp");
    ASSERT_EQ(bitmap->getWidth(), 20);
    auto* button = new CTextButton(kButton, nullptr, 0x700, bitmap, "?", false);
    bitmap->forget();
    frame.addView(button);
    frame.redraw();
    cairo_surface_t* image = frame.getBackBuffer();
    const std::uint32_t red = 0xC80000, green = 0x00C800;
    EXPECT_EQ(guitest::pixel(image, 11, 11), red);
    EXPECT_GT(guitest::countWhitish(image, kButton), 5) << "caption drawn";
    EXPECT_EQ(guitest::countPixels(image, kButton, green), 0);
    press(*button, 15, 15);
    EXPECT_TRUE(button->isDirty());
    frame.redraw();
    EXPECT_EQ(guitest::pixel(image, 11, 11), green);
    EXPECT_GT(guitest::countWhitish(image, kButton), 5);
    EXPECT_FALSE(button->isDirty());
}

}  // namespace

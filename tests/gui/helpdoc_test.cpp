// Help topics select the right text, and the text is laid out in 16-pixel lines.
#include <gtest/gtest.h>

#include <string>

#include "editor/helpDoc.h"
#include "support/gui_test_support.h"

namespace {

std::string firstLine(int topic) {
    HelpText text = helpText(topic);
    return text.count ? text.lines[0] : "<none>";
}

int topicOf(int page, int controlTag) { return 0x10000 | (page * 16) | (controlTag & 0xF00) | (controlTag & 0x0F); }

TEST(HelpDoc, TopicsSelectTheirTexts) {
    EXPECT_EQ(firstLine(topicOf(0, 0x700)), "Help mode");
    EXPECT_EQ(firstLine(topicOf(2, 0x700)), "Help mode");
    EXPECT_EQ(firstLine(topicOf(1, 0x200)), "Key sliders");
    EXPECT_EQ(firstLine(topicOf(1, 0x300)), "Keyboard");
    EXPECT_EQ(firstLine(topicOf(0, 0x000)), "volume") << "the volume slider of page 0 is topic 0x10000";
    EXPECT_EQ(firstLine(topicOf(0, 0x101)), "transpose");
    EXPECT_EQ(firstLine(topicOf(1, 0x003)), "damper");
    EXPECT_EQ(firstLine(topicOf(1, 0x103)), "damper") << "a row's label and slider share a topic";
    EXPECT_EQ(firstLine(topicOf(1, 0x005)), "hammer position");
    EXPECT_EQ(firstLine(topicOf(2, 0x106)), "velocity dynamics");
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(firstLine(topicOf(page, 0x605)), "This button adds 10% of random value to all the key sliders.");
        EXPECT_EQ(firstLine(topicOf(page, 0x401)), "strings tab");
    }
    EXPECT_EQ(firstLine(topicOf(0, 0x402)), "hammer tab");
    EXPECT_EQ(firstLine(topicOf(0, 0x600)), "This button resets all the key sliders to 0.");
    EXPECT_EQ(firstLine(topicOf(2, 0x606)), "This button smoothes out all the key sliders.");
}

TEST(HelpDoc, TopicsWithoutTextDrawNothingButTheBackground) {
    EXPECT_EQ(helpText(topicOf(0, 0x007)).count, 0) << "hidden row 7 of page 0";
    EXPECT_EQ(helpText(topicOf(0, 0x002)).count, 0);
    EXPECT_EQ(helpText(topicOf(1, 0x007)).count, 0);
    EXPECT_EQ(helpText(topicOf(0, 0x500)).count, 0);
    EXPECT_EQ(helpText(topicOf(0, 0x607)).count, 0);
    EXPECT_EQ(helpText(topicOf(0, 0x403)).count, 0);
    EXPECT_EQ(helpText(0x10030).count, 0) << "no page 3";

    CFrame frame(CRect(0, 0, 616, 180), nullptr, nullptr);
    CDrawContext context(frame.getBackBuffer());
    helpDoc(&context, kSystemFont, CRect(0, 0, 616, 180), topicOf(0, 0x007));
    EXPECT_EQ(guitest::countOtherPixels(frame.getBackBuffer(), CRect(0, 0, 616, 180), 0x64A0FF), 0);
}

TEST(HelpDoc, TextsHaveTheirLineCounts) {
    EXPECT_EQ(helpText(topicOf(0, 0x700)).count, 8);
    EXPECT_EQ(helpText(topicOf(0, 0x200)).count, 6);
    EXPECT_EQ(helpText(topicOf(0, 0x300)).count, 3);
    EXPECT_EQ(helpText(topicOf(1, 0x000)).count, 7) << "tuning";
    EXPECT_EQ(helpText(topicOf(1, 0x004)).count, 6) << "softness";
    EXPECT_EQ(helpText(topicOf(2, 0x001)).count, 5) << "sharpness";
    EXPECT_STREQ(helpText(topicOf(1, 0x000)).lines[1], "");
    EXPECT_STREQ(helpText(topicOf(0, 0x602)).lines[0], "This button sustracts 5% to all the key sliders.");
    EXPECT_STREQ(helpText(topicOf(2, 0x006)).lines[2],
                 "For velocities higher than the value defined in 'velo soft' this increases or decreases");
    EXPECT_STREQ(kHelpVersionLine, "Pelmar-k1 v1.0    https://pelmar-k1.example/help");
}

TEST(HelpDoc, LinesAreSixteenPixelsApart) {
    const CRect area(0, 154, 616, 334);
    EXPECT_EQ(helpLineRect(area, 12, 0), CRect(2, 156, 614, 172));
    EXPECT_EQ(helpLineRect(area, 12, 6).top - area.top, 98) << "the tuning text's last line";
}

TEST(HelpDoc, DrawsTheIntroductionLeftAndTheVersionRight) {
    CFrame frame(CRect(0, 0, 616, 180), nullptr, nullptr);
    cairo_surface_t* image = frame.getBackBuffer();
    {
        CDrawContext context(image);
        helpDoc(&context, kSystemFont, CRect(0, 0, 616, 180), topicOf(0, 0x700));
    }
    const std::uint32_t background = 0x64A0FF;
    // "Help mode" at the top left, the version line at the top right, the
    // empty fourth line blank, nothing below the eighth line.
    EXPECT_GT(guitest::countOtherPixels(image, CRect(2, 2, 80, 18), background), 20);
    EXPECT_GT(guitest::countOtherPixels(image, CRect(450, 2, 614, 18), background), 20);
    EXPECT_EQ(guitest::countOtherPixels(image, CRect(120, 2, 280, 18), background), 0);
    EXPECT_EQ(guitest::countOtherPixels(image, helpLineRect(CRect(0, 0, 616, 180), 12, 3), background), 0);
    EXPECT_GT(guitest::countOtherPixels(image, helpLineRect(CRect(0, 0, 616, 180), 12, 7), background), 20);
    EXPECT_EQ(guitest::countOtherPixels(image, CRect(0, 2 + 8 * 16, 616, 180), background), 0);
}

}  // namespace

// The on-screen keyboard: its two zones, clicks and drags.
#include <gtest/gtest.h>

#include "editor/keyboard.h"
#include "support/gui_test_support.h"

using guitest::move;
using guitest::press;
using guitest::release;

namespace {

const CRect kArea(0, 334, 616, 404);

struct Keys {
    guitest::RecordingListener listener;
    keyboard keys{kArea, &listener, 0x300, nullptr, 9};
    std::vector<int> played() const {
        std::vector<int> k;
        for (auto& c : listener.changes) k.push_back(static_cast<int>(c.value));
        return k;
    }
};

int clickAt(int dx, int dy) {
    Keys k;
    press(k.keys, kArea.left + dx, kArea.top + dy);
    return k.listener.changes.empty() ? -1 : static_cast<int>(k.listener.changes.back().value);
}

TEST(Keyboard, UpperZoneGivesEveryKeySevenPixels) {
    EXPECT_EQ(clickAt(0, 10), 0);
    EXPECT_EQ(clickAt(7, 10), 1);
    EXPECT_EQ(clickAt(7, 45), 1);
    EXPECT_EQ(clickAt(615, 10), 87);
}

TEST(Keyboard, LowerZoneGivesTheWhiteKeyFronts) {
    EXPECT_EQ(clickAt(7, 46), 0);
    EXPECT_EQ(clickAt(7, 60), 0);
    EXPECT_EQ(clickAt(9, 60), 2);
    EXPECT_EQ(clickAt(21, 60), 3);
    EXPECT_EQ(clickAt(87, 60), 12);
    EXPECT_EQ(clickAt(615, 60), 87);
}

TEST(Keyboard, ClickReportsEvenTheSameKeyAgain) {
    Keys k;
    press(k.keys, 3, kArea.top + 10);
    release(k.keys, 3, kArea.top + 10);
    press(k.keys, 3, kArea.top + 10);
    EXPECT_EQ(k.played(), (std::vector<int>{0, 0}));
    EXPECT_EQ(k.keys.getTag(), 0x300);
}

TEST(Keyboard, DragPlaysEachKeyOnceAsThePointerEntersIt) {
    Keys k;
    press(k.keys, 1, kArea.top + 10);
    move(k.keys, 5, kArea.top + 10);
    move(k.keys, 6, kArea.top + 20);
    move(k.keys, 7, kArea.top + 20);
    move(k.keys, 13, kArea.top + 20);
    move(k.keys, 14, kArea.top + 20);
    release(k.keys, 14, kArea.top + 20);
    EXPECT_EQ(k.played(), (std::vector<int>{0, 1, 2}));
}

TEST(Keyboard, DragBeyondTheEndsGivesTheEndKeys) {
    Keys k;
    press(k.keys, 300, kArea.top + 10);
    move(k.keys, -500, kArea.top - 50);
    move(k.keys, -900, kArea.top + 60);
    move(k.keys, 5000, kArea.top + 60);
    move(k.keys, 9000, kArea.top + 10);
    move(k.keys, 3000, kArea.bottom + 200);
    EXPECT_EQ(k.played(), (std::vector<int>{42, 0, 87}));
}

TEST(Keyboard, RightButtonAndReleasePlayNothing) {
    Keys k;
    EXPECT_EQ(press(k.keys, 50, kArea.top + 10, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(move(k.keys, 90, kArea.top + 10, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(release(k.keys, 90, kArea.top + 10), kMouseEventHandled);
    EXPECT_TRUE(k.played().empty());
    EXPECT_EQ(k.keys.getMin(), -88.0f);
    EXPECT_EQ(k.keys.getMax(), 88.0f);
}

}  // namespace

// Placement of the panel on a desktop of two screens, as a function of the pointer, the screens
// and the size (no test X server shows Qt two monitors).
#include <gtest/gtest.h>

#include "ui/ScreenPlacement.h"

namespace {

using ScreenPlacement::Screen;

// A 1920×1080 screen with a 32 px panel at its top, and a 1280×1024 one to its right.
const QList<Screen> twoScreens = {{{0, 0, 1920, 1080}, {0, 32, 1920, 1048}},
                                  {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}}};

TEST(ScreenPlacementTest, ANewPanelOpensBelowRightOfThePointerInsideTheScreenUnderIt)
{
    EXPECT_EQ(ScreenPlacement::openAt({100, 100}, twoScreens, {540, 300}), QPoint(112, 112));
    // Bottom-right corner of the second screen: 8 from its right and bottom edges.
    EXPECT_EQ(ScreenPlacement::openAt({3199, 1023}, twoScreens, {540, 300}), QPoint(3200 - 8 - 540, 1024 - 8 - 300));
    // Near the first screen's right edge it stays on that screen rather than spilling over.
    EXPECT_EQ(ScreenPlacement::openAt({1900, 10}, twoScreens, {540, 300}), QPoint(1920 - 8 - 540, 32 + 8));
    // A pointer outside every screen uses the first; no screen at all leaves the pointer.
    EXPECT_EQ(ScreenPlacement::openAt({-50, -50}, twoScreens, {540, 300}), QPoint(8, 40));
    EXPECT_EQ(ScreenPlacement::openAt({5, 6}, {}, {540, 300}), QPoint(5, 6));
}

TEST(ScreenPlacementTest, AGrowingPanelStaysOnItsScreenKeepingItsTopUntilTheBottomWouldLeave)
{
    // Opened on the second screen and grown: the top stays while it fits.
    EXPECT_EQ(ScreenPlacement::keptOnScreen({2000, 300, 540, 600}, twoScreens), QPoint(2000, 300));
    // Grown past the bottom: it moves up just enough, on the same screen.
    EXPECT_EQ(ScreenPlacement::keptOnScreen({2000, 600, 540, 600}, twoScreens), QPoint(2000, 1024 - 8 - 600));
    // Taller than the screen: the top edge wins.
    EXPECT_EQ(ScreenPlacement::keptOnScreen({2000, 600, 540, 2000}, twoScreens), QPoint(2000, 8));
}

}

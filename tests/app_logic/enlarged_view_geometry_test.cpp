#include <gtest/gtest.h>

#include "app/logic/enlarged_view_geometry.h"
#include "tests/mosaic/grid_test_support.h"

namespace {

TEST(EnlargedViewMove, KeepsTheOpeningSizeAnchoredAtTheBottomRightCorner) {
    // The system reports a rectangle one pixel wider at the left than the opening size.
    const EnlargedPlacement moved = keepEnlargedSize(Rect{99, 50, 400, 250}, 300, 200);
    EXPECT_EQ(moved.window, (Rect{100, 50, 400, 250}));
    EXPECT_EQ(moved.recorded, (Rect{100, 50, 400, 250}));

    const EnlargedPlacement beyondLeftAndTop = keepEnlargedSize(Rect{-50, -20, 250, 180}, 300, 200);
    EXPECT_EQ(beyondLeftAndTop.window, (Rect{-50, -20, 250, 180}));
    EXPECT_EQ(beyondLeftAndTop.recorded, (Rect{0, 0, 250, 180}));

    EXPECT_EQ(recordedEnlargedRect(Rect{-3000, 10, -100, 210}), (Rect{0, 10, -100, 210}));
}

TEST(EnlargedViewPaint, DrawsTheWholeCopyWhenTheViewIsOnTheScreen) {
    const Surface copy = gridtest::coordinatePicture(300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, Rect{810, 440, 1110, 640}, 300, 200),
              (Rect{0, 0, 300, 200}));
    // Beyond the right and bottom edges nothing is cut: the system clips the drawing there.
    EXPECT_EQ(visibleEnlargedPart(copy, Rect{1800, 1000, 2100, 1200}, 300, 200),
              (Rect{0, 0, 300, 200}));
}

TEST(EnlargedViewPaint, DrawsOnlyFromTheScreenEdgeOnWhenTheViewIsBeyondLeftOrTop) {
    const Surface copy = gridtest::coordinatePicture(300, 200);
    const EnlargedPlacement left = keepEnlargedSize(Rect{-120, 30, 180, 230}, 300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, left.recorded, 300, 200), (Rect{120, 0, 300, 200}));
    const EnlargedPlacement both = keepEnlargedSize(Rect{-10, -199, 290, 1}, 300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, both.recorded, 300, 200), (Rect{10, 199, 300, 200}));
    // Moved back onto the screen, the whole picture is drawn again.
    const EnlargedPlacement back = keepEnlargedSize(Rect{5, 5, 305, 205}, 300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, back.recorded, 300, 200), (Rect{0, 0, 300, 200}));
}

TEST(EnlargedViewPaint, AScreenLeftOfThePrimaryOneCountsAsScreen) {
    // Two screens side by side, the second one left of the primary: they cover x from -1920.
    const ScreenOrigin both{-1920, 0};
    const Surface copy = gridtest::coordinatePicture(300, 200);
    const EnlargedPlacement onSecond =
        keepEnlargedSize(Rect{-1110, 440, -810, 640}, 300, 200, both);
    EXPECT_EQ(onSecond.recorded, (Rect{-1110, 440, -810, 640}));
    EXPECT_EQ(visibleEnlargedPart(copy, onSecond.recorded, 300, 200), (Rect{0, 0, 300, 200}));
    const EnlargedPlacement beyond = keepEnlargedSize(Rect{-2000, 440, -1700, 640}, 300, 200, both);
    EXPECT_EQ(visibleEnlargedPart(copy, beyond.recorded, 300, 200), (Rect{80, 0, 300, 200}));
}

TEST(EnlargedViewPaint, NothingIsDrawnForAViewWhollyBeyondTheEdgeOrWithoutACopy) {
    const Surface copy = gridtest::coordinatePicture(300, 200);
    const EnlargedPlacement gone = keepEnlargedSize(Rect{-400, 10, -100, 210}, 300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, gone.recorded, 300, 200), Rect{});
    const EnlargedPlacement edge = keepEnlargedSize(Rect{-300, 10, 0, 210}, 300, 200);
    EXPECT_EQ(visibleEnlargedPart(copy, edge.recorded, 300, 200), Rect{});
    EXPECT_EQ(visibleEnlargedPart(Surface{}, Rect{0, 0, 300, 200}, 300, 200), Rect{});
}

TEST(EnlargedViewPaint, APartIsNeverLargerThanTheCopy) {
    // A view larger than its copy (a frame around it) draws no pixel the copy lacks.
    const Surface copy = gridtest::coordinatePicture(100, 50);
    EXPECT_EQ(visibleEnlargedPart(copy, Rect{0, 0, 110, 60}, 110, 60), (Rect{0, 0, 100, 50}));
    EXPECT_EQ(visibleEnlargedPart(copy, Rect{0, 0, 40, 60}, 110, 60), (Rect{70, 0, 100, 50}));
}

}  // namespace

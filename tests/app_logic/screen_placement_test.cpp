#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/logic/screen_placement.h"

namespace {

constexpr Rect kFullHd{0, 0, 1920, 1080};

TEST(CentredOrigin, HalvesTheRoomLeftOnEachAxisTruncating) {
    EXPECT_EQ(centredOrigin(kFullHd, 900, 525), (Point{510, 277}));
    EXPECT_EQ(centredOrigin(kFullHd, 320, 240), (Point{800, 420}));
    EXPECT_EQ(centredOrigin(kFullHd, 1919, 1079), (Point{0, 0}));
    EXPECT_EQ(centredOrigin(kFullHd, 1920, 1080), (Point{0, 0}));
}

TEST(CentredOrigin, AnAxisWhereTheWindowDoesNotFitStartsAtTheScreenEdge) {
    const Rect small{0, 0, 1280, 1024};
    EXPECT_EQ(centredOrigin(small, 1500, 750), (Point{0, 137}));
    EXPECT_EQ(centredOrigin(Rect{0, 0, 1024, 600}, 900, 625), (Point{62, 0}));
    EXPECT_EQ(centredOrigin(kFullHd, 100000, 100000), (Point{0, 0}));
}

TEST(CentredOrigin, CountsFromTheCornerOfAScreenThatIsNotPrimary) {
    // A second monitor to the left of and above the primary one.
    const Rect left{-1280, -200, 0, 824};
    EXPECT_EQ(centredOrigin(left, 640, 480), (Point{-960, 72}));
    EXPECT_EQ(centredOrigin(left, 2000, 2000), (Point{-1280, -200}));
    EXPECT_EQ(centredOrigin(Rect{1920, 0, 3840, 1200}, 900, 525), (Point{2430, 337}));
}

TEST(CentredOrigin, ExtremeSizesNeitherOverflowNorLeaveTheScreen) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(centredOrigin(kFullHd, kMax, kMax), (Point{0, 0}));
    // A negative size leaves more room than the screen has, but the corner stays in 32 bits.
    const Point negative = centredOrigin(kFullHd, kMin, kMin);
    EXPECT_GT(negative.x, 0);
    EXPECT_GT(negative.y, 0);
    EXPECT_EQ(centredOrigin(Rect{kMax - 10, kMax - 10, kMax, kMax}, 4, 4),
              (Point{kMax - 7, kMax - 7}));
}

TEST(UsableWindowExtent, RaisesWhatAHandEditedFileMakesTooSmallAndKeepsTheRest) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(usableWindowExtent(0), kSmallestWindowExtent);
    EXPECT_EQ(usableWindowExtent(-375), kSmallestWindowExtent);
    EXPECT_EQ(usableWindowExtent(kMin), kSmallestWindowExtent);
    EXPECT_EQ(usableWindowExtent(kSmallestWindowExtent - 1), kSmallestWindowExtent);
    EXPECT_EQ(usableWindowExtent(kSmallestWindowExtent), kSmallestWindowExtent);
    // The smallest size preset and sizes past any screen stay as stored.
    EXPECT_EQ(usableWindowExtent(240), 240);
    EXPECT_EQ(usableWindowExtent(100000), 100000);
}

}  // namespace

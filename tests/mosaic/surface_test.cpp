#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/raster/surface.h"
#include "tests/support/transparent_stretch.h"

namespace {

using gridtest::centreSample;
using gridtest::coordinateColour;
using gridtest::coordinatePicture;

std::uint32_t at(const Surface& surface, std::int32_t x, std::int32_t y) {
    return pixelAt(surface, x, y).value_or(0xFFFFFFFFu);
}

// Checks every destination pixel of a whole-surface stretch against the floating-point
// reference and returns the number of mismatches.
int stretchMismatches(std::int32_t srcW, std::int32_t srcH, std::int32_t dstW, std::int32_t dstH) {
    const Surface src = coordinatePicture(srcW, srcH);
    Surface dst = Surface::filled(dstW, dstH, 0xFFFFFFu);
    stretchSurface(src, src.bounds(), dst, dst.bounds());
    int mismatches = 0;
    for (std::int32_t y = 0; y < dstH; ++y) {
        for (std::int32_t x = 0; x < dstW; ++x) {
            const auto expected =
                coordinateColour(centreSample(x, srcW, dstW), centreSample(y, srcH, dstH));
            mismatches += at(dst, x, y) != expected ? 1 : 0;
        }
    }
    return mismatches;
}

std::vector<std::int32_t> sampledColumns(const Surface& dst) {
    std::vector<std::int32_t> columns;
    for (std::int32_t x = 0; x < dst.width; ++x) {
        columns.push_back(static_cast<std::int32_t>(at(dst, x, 0) >> 12));
    }
    return columns;
}

TEST(RectOfSize, EdgesNearTheEndsOfTheRangeStopThereInsteadOfWrapping) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(rectOfSize(10, 20, 30, 40), (Rect{10, 20, 40, 60}));
    EXPECT_EQ(rectOfSize(kMax - 5, kMax, 150, kMax), (Rect{kMax - 5, kMax, kMax, kMax}));
    EXPECT_EQ(rectOfSize(kMin + 5, kMin, -150, kMin), (Rect{kMin + 5, kMin, kMin, kMin}));
    EXPECT_EQ(rectOfSize(kMin, kMax, kMax, kMin), (Rect{kMin, kMax, -1, -1}));

    const Rect widest{kMin, kMin, kMax, kMax};
    EXPECT_EQ(widest.width(), kMax);
    EXPECT_EQ(widest.height(), kMax);
    const Rect inverted{kMax, kMax, kMin, kMin};
    EXPECT_EQ(inverted.width(), kMin);
    EXPECT_EQ(rectOfSize(kMax - 5, 0, 150, 1).width(), 5);
}

TEST(RectOfSize, ExtremeRectanglesDrawNothingOffTheSurfaceAndClipOnIt) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    Surface dst = Surface::filled(4, 4, 0x111111u);
    const Surface src = Surface::filled(2, 2, 0x222222u);
    fillSurface(dst, rectOfSize(kMax - 1, kMax - 1, kMax, kMax), 0x333333u);
    stretchSurface(src, src.bounds(), dst, rectOfSize(kMin, kMin, 3, 3));
    EXPECT_EQ(dst, Surface::filled(4, 4, 0x111111u));
    fillSurface(dst, rectOfSize(-5, 2, kMax, kMax), 0x333333u);
    EXPECT_EQ(at(dst, 3, 3), 0x333333u);
    EXPECT_EQ(at(dst, 3, 1), 0x111111u);
}

TEST(SurfaceMaking, SizesBelowOneAndMismatchedPixelCountsGiveEmptySurfaces) {
    EXPECT_TRUE(Surface::filled(0, 5).empty());
    EXPECT_TRUE(Surface::filled(5, -1).empty());
    EXPECT_TRUE(Surface::fromPixels(2, 2, std::vector<std::uint32_t>(3)).empty());
    const Surface made = Surface::fromPixels(2, 1, {7u, 9u});
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(at(made, 1, 0), 9u);

    // A surface whose fields were set by hand inconsistently is treated as empty, not read
    // past its end.
    Surface broken;
    broken.width = 100;
    broken.height = 100;
    broken.pixels.assign(10, 1u);
    EXPECT_TRUE(broken.empty());
    EXPECT_FALSE(pixelAt(broken, 50, 50).has_value());
    Surface dst = Surface::filled(4, 4, 5u);
    stretchSurface(broken, Rect{0, 0, 100, 100}, dst, dst.bounds());
    EXPECT_EQ(dst, Surface::filled(4, 4, 5u));
}

TEST(SurfaceFill, FillsOnlyThePartOnTheSurface) {
    Surface s = Surface::filled(4, 3, 1u);
    fillSurface(s, Rect{-2, 1, 2, 10}, 8u);
    for (std::int32_t y = 0; y < 3; ++y) {
        for (std::int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(at(s, x, y), (y >= 1 && x < 2) ? 8u : 1u) << x << "," << y;
        }
    }
    Surface untouched = Surface::filled(4, 3, 1u);
    fillSurface(untouched, Rect{3, 3, 1, 1}, 8u);  // inverted rectangle
    fillSurface(untouched, Rect{10, 0, 20, 3}, 8u);
    EXPECT_EQ(untouched, Surface::filled(4, 3, 1u));
}

TEST(SurfaceCopy, CopiesExactlyAndClipsAgainstBothSurfaces) {
    const Surface src = coordinatePicture(5, 4);
    Surface dst = Surface::filled(4, 4, 0xFFFFFFu);
    // Source rect hanging off the source's left, destination corner off the destination's top.
    copySurface(src, Rect{-1, 1, 3, 4}, dst, 1, -1);
    // dst (1 + i, -1 + j) takes src (-1 + i, 1 + j); only src x >= 0 and dst y >= 0 land.
    for (std::int32_t y = 0; y < 4; ++y) {
        for (std::int32_t x = 0; x < 4; ++x) {
            const std::int32_t sx = x - 2;
            const std::int32_t sy = y + 2;
            const bool lands = sx >= 0 && sx < 3 && sy < 4;
            EXPECT_EQ(at(dst, x, y), lands ? coordinateColour(sx, sy) : 0xFFFFFFu) << x << "," << y;
        }
    }
    Surface whole = Surface::filled(5, 4);
    copySurface(src, src.bounds(), whole, 0, 0);
    EXPECT_EQ(whole, src);
}

TEST(SurfaceStretch, SamplesThePixelUnderEachDestinationCentre) {
    Surface enlarged = Surface::filled(7, 1);
    stretchSurface(coordinatePicture(3, 1), Rect{0, 0, 3, 1}, enlarged, enlarged.bounds());
    EXPECT_EQ(sampledColumns(enlarged), (std::vector<std::int32_t>{0, 0, 1, 1, 1, 2, 2}));

    Surface shrunk = Surface::filled(3, 1);
    stretchSurface(coordinatePicture(7, 1), Rect{0, 0, 7, 1}, shrunk, shrunk.bounds());
    EXPECT_EQ(sampledColumns(shrunk), (std::vector<std::int32_t>{1, 3, 5}));
}

TEST(SurfaceStretch, MatchesTheReferenceForNonIntegerFactorsBothWays) {
    EXPECT_EQ(stretchMismatches(3, 3, 7, 7), 0);
    EXPECT_EQ(stretchMismatches(7, 7, 3, 3), 0);
    EXPECT_EQ(stretchMismatches(150, 150, 64, 96), 0);
    EXPECT_EQ(stretchMismatches(64, 96, 150, 150), 0);
    EXPECT_EQ(stretchMismatches(1200, 800, 75, 76), 0);
    EXPECT_EQ(stretchMismatches(750, 380, 755, 380), 0);
    EXPECT_EQ(stretchMismatches(1, 1, 5, 3), 0);
}

TEST(SurfaceStretch, UsesSubRectanglesAndClipsWithoutShiftingTheSampling) {
    const Surface src = coordinatePicture(20, 10);
    Surface dst = Surface::filled(6, 6, 0xFFFFFFu);
    // Source (4, 2)-(10, 5) onto a destination rectangle half off the surface's left.
    const Rect dstRect{-3, 1, 3, 4};
    stretchSurface(src, Rect{4, 2, 10, 5}, dst, dstRect);
    for (std::int32_t y = 0; y < 6; ++y) {
        for (std::int32_t x = 0; x < 6; ++x) {
            const bool inside = x < 3 && y >= 1 && y < 4;
            const std::uint32_t expected = inside ? coordinateColour(4 + centreSample(x + 3, 6, 6),
                                                                     2 + centreSample(y - 1, 3, 3))
                                                  : 0xFFFFFFu;
            EXPECT_EQ(at(dst, x, y), expected) << x << "," << y;
        }
    }
}

TEST(SurfaceStretch, SourcePixelsOffTheSourceLeaveTheDestination) {
    const Surface src = coordinatePicture(2, 2);
    Surface dst = Surface::filled(4, 4, 0xFFFFFFu);
    stretchSurface(src, Rect{0, 0, 4, 4}, dst, dst.bounds());
    EXPECT_EQ(at(dst, 1, 1), coordinateColour(1, 1));
    EXPECT_EQ(at(dst, 2, 0), 0xFFFFFFu);
    EXPECT_EQ(at(dst, 0, 3), 0xFFFFFFu);
}

TEST(SurfaceStretch, EmptyOrInvertedRectanglesDrawNothing) {
    const Surface src = coordinatePicture(4, 4);
    const Surface before = Surface::filled(4, 4, 3u);
    for (const auto& [from, to] :
         {std::pair{Rect{0, 0, 0, 4}, Rect{0, 0, 4, 4}},
          std::pair{Rect{0, 0, 4, 4}, Rect{4, 0, 0, 4}},
          std::pair{Rect{0, 4, 4, 0}, Rect{0, 0, 4, 4}},
          std::pair{Rect{0, 0, 4, 4}, Rect{0, 0, 4, -2}},
          std::pair{Rect{0, 0, 4, 4}, Rect{-2147483647, 0, 2147483647, 4}}}) {
        Surface dst = before;
        stretchSurface(src, from, dst, to);
        stretchSurfaceTransparent(src, from, dst, to, 0u);
        EXPECT_EQ(dst, before);
    }
}

TEST(SurfaceStretch, UnscaledSpansLongerThanTheScalingBoundStillMapPixelsOntoThemselves) {
    const Surface src = coordinatePicture(1, 2);
    const Rect tall{-8, -8, 36, 1894838272};  // equal source and destination spans
    Surface plain = Surface::filled(7, 5, 3u);
    Surface transparent = plain;
    stretchSurface(src, tall, plain, tall);
    stretchSurfaceTransparent(src, tall, transparent, tall, 0xFFFFFFu);
    EXPECT_EQ(plain, transparent);
    EXPECT_EQ(at(plain, 0, 0), coordinateColour(0, 0));
    EXPECT_EQ(at(plain, 0, 1), coordinateColour(0, 1));
    EXPECT_EQ(at(plain, 1, 0), 3u);

    Surface scaled = Surface::filled(7, 5, 3u);
    stretchSurfaceTransparent(src, tall, scaled, Rect{-8, -8, 36, 1894838271}, 0xFFFFFFu);
    EXPECT_EQ(scaled, Surface::filled(7, 5, 3u));
}

TEST(SurfaceStretch, TransparentCopyKeepsTheDestinationUnderKeyPixels) {
    const std::uint32_t key = rgb(255, 196, 196);
    Surface src = Surface::filled(2, 2, key);
    src.pixels[1] = rgb(224, 0, 0);  // (1, 0)
    Surface dst = gridtest::coordinatePicture(4, 4);
    const Surface before = dst;
    stretchSurfaceTransparent(src, src.bounds(), dst, dst.bounds(), key);
    for (std::int32_t y = 0; y < 4; ++y) {
        for (std::int32_t x = 0; x < 4; ++x) {
            const bool coloured = x >= 2 && y < 2;
            EXPECT_EQ(at(dst, x, y), coloured ? rgb(224, 0, 0) : at(before, x, y));
        }
    }
}

}  // namespace

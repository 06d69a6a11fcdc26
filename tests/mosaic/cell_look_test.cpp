#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "mosaic/raster/cell_look.h"
#include "mosaic/raster/picture_decoder.h"
#include "tests/support/test_jpeg.h"
#include "tests/support/test_pictures.h"

namespace {

int channelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (const int shift : {0, 8, 16}) {
        largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                             static_cast<int>((b >> shift) & 0xFF)));
    }
    return largest;
}

// Four upright bands of 50 pixels: red, green, blue, white.
Surface fourBands() {
    const std::uint32_t bands[] = {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255),
                                   rgb(255, 255, 255)};
    Surface picture = Surface::filled(200, 100);
    for (int band = 0; band < 4; ++band) {
        fillSurface(picture, Rect{band * 50, 0, band * 50 + 50, 100}, bands[band]);
    }
    return picture;
}

}  // namespace

TEST(CellLook, SmoothCopiesOfReducedDecodingsMatchTheAreaAverageOfTheNaturalPicture) {
    const auto soft = [](int x, int y) {
        const auto wave = [](double v) { return static_cast<std::uint32_t>(127.5 + 127 * v); };
        return wave(std::sin(x / 37.0)) << 16 | wave(std::cos(y / 23.0)) << 8 |
               wave(std::sin((x + y) / 51.0));
    };
    struct Case {
        std::int32_t width;
        std::int32_t height;
        CellLook look;
    };
    // JPEG reduces by its DCT scaling, WebP by libwebp's crop (from even coordinates) and scaler.
    for (const auto& bytes :
         {testjpeg::encode(1200, 800, soft), testpictures::webp(1200, 800, soft, false),
          testpictures::webp(1200, 800, soft, true)}) {
        const auto natural = decodePicture(bytes);
        ASSERT_TRUE(natural.has_value());
        for (const Case& c :
             {Case{96, 108, {false, true, {}}}, Case{75, 76, {true, true, {}}},
              Case{40, 90, {true, true, {{-0.8f, 0.5f}}}},
              Case{41, 90, {true, true, {{0.3f, -0.7f}}}}, Case{700, 500, {false, true, {}}},
              Case{192, 216, {true, true, {}}}}) {
            const auto scaled = decodePictureScaled(bytes, c.width, c.height, c.look);
            ASSERT_TRUE(scaled.has_value());
            EXPECT_EQ(scaled->naturalSize, (PictureSize{1200, 800}));
            const Surface reference = makeCellCopy(*natural, c.width, c.height, c.look);
            ASSERT_EQ(scaled->picture.bounds(), reference.bounds());
            int largest = 0;
            long total = 0;
            for (std::size_t i = 0; i < reference.pixels.size(); ++i) {
                const int difference =
                    channelDifference(scaled->picture.pixels[i], reference.pixels[i]);
                largest = std::max(largest, difference);
                total += difference;
            }
            EXPECT_LE(largest, 8) << c.width << "x" << c.height;
            EXPECT_LE(static_cast<double>(total) / static_cast<double>(reference.pixels.size()),
                      1.5)
                << c.width << "x" << c.height;
        }
    }
}

TEST(CellLook, AveragesInLinearLightOverEverySourcePixelUnderATargetPixel) {
    Surface stripes = Surface::filled(64, 64);
    for (std::int32_t x = 0; x < 64; x += 2) {
        fillSurface(stripes, Rect{x, 0, x + 1, 64}, rgb(255, 255, 255));
    }
    const Surface grey = makeCellCopy(stripes, 7, 5, CellLook{false, true, {}});
    for (const std::uint32_t pixel : grey.pixels) {
        // Near half the light of white, far from half its sRGB value (128): 64/7 columns a
        // pixel hold between 45 and 55 percent white.
        EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 188, 12);
        EXPECT_EQ(pixel, (pixel & 0xFF) * 0x010101u);
    }
    const Surface exact = makeCellCopy(stripes, 8, 8, CellLook{false, true, {}});
    for (const std::uint32_t pixel : exact.pixels) {
        EXPECT_EQ(pixel, rgb(188, 188, 188));
    }
    // Enlarging a single pixel keeps its colour; the designed look picks pure stripes.
    const Surface one = Surface::filled(1, 1, rgb(10, 200, 30));
    EXPECT_EQ(makeCellCopy(one, 3, 2, CellLook{false, true, {}}),
              Surface::filled(3, 2, rgb(10, 200, 30)));
    for (const std::uint32_t pixel : makeCellCopy(stripes, 7, 5, CellLook{}).pixels) {
        EXPECT_TRUE(pixel == kBlack || pixel == rgb(255, 255, 255));
    }
    EXPECT_TRUE(makeCellCopy(stripes, 0, 5, CellLook{}).empty());
}

TEST(CellLook, FillCropsToTheCellsShapeAroundTheFocalPointElseTheCentre) {
    const Surface bands = fourBands();
    const PictureSize size{200, 100};
    EXPECT_EQ(shownPart(size, 10, 10, CellLook{}), (Rect{0, 0, 200, 100}));
    EXPECT_EQ(shownPart(size, 10, 10, CellLook{true, false, {}}), (Rect{50, 0, 150, 100}));
    EXPECT_EQ(shownPart(size, 10, 10, CellLook{true, false, {{-1.0f, 0.3f}}}),
              (Rect{0, 0, 100, 100}));
    EXPECT_EQ(shownPart(size, 10, 10, CellLook{true, false, {{0.5f, 0.0f}}}),
              (Rect{100, 0, 200, 100}))
        << "stops at the right edge";
    EXPECT_EQ(shownPart(size, 40, 10, CellLook{true, false, {{0.0f, 1.0f}}}), (Rect{0, 0, 200, 50}))
        << "wider than the cell: rows are cropped, the top ones kept";
    EXPECT_EQ(shownPart(PictureSize{100, 200}, 10, 10, CellLook{true, false, {{0.0f, 1.0f}}}),
              (Rect{0, 0, 100, 100}))
        << "y counts upwards";
    EXPECT_EQ(shownPart(PictureSize{3, 1}, 1, 1000, CellLook{true, false, {}}), (Rect{1, 0, 2, 1}));

    for (const bool smooth : {false, true}) {
        const Surface middle = makeCellCopy(bands, 20, 20, CellLook{true, smooth, {}});
        EXPECT_EQ(pixelAt(middle, 2, 10), rgb(0, 255, 0));
        EXPECT_EQ(pixelAt(middle, 17, 10), rgb(0, 0, 255));
        const Surface right = makeCellCopy(bands, 20, 20, CellLook{true, smooth, {{0.9f, 0}}});
        EXPECT_EQ(pixelAt(right, 2, 10), rgb(0, 0, 255));
        EXPECT_EQ(pixelAt(right, 17, 10), rgb(255, 255, 255));
    }
}

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_format.h"
#include "tests/support/test_jpeg.h"
#include "tests/support/test_pictures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

int channelDistance(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift : {0, 8, 16}) {
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    }
    return worst;
}

// Offset of the start-of-frame segment's height field, found independently of the decoder.
std::size_t frameHeightOffset(const Bytes& jpeg) {
    for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            return i + 5;
        }
    }
    return 0;
}

void writeFrameSize(Bytes& jpeg, std::uint16_t width, std::uint16_t height) {
    const std::size_t at = frameHeightOffset(jpeg);
    ASSERT_NE(at, 0u);
    jpeg[at] = static_cast<std::uint8_t>(height >> 8);
    jpeg[at + 1] = static_cast<std::uint8_t>(height & 0xFF);
    jpeg[at + 2] = static_cast<std::uint8_t>(width >> 8);
    jpeg[at + 3] = static_cast<std::uint8_t>(width & 0xFF);
}

// The JPEG with extra bytes put just before its start-of-frame marker.
Bytes withBytesBeforeFrame(const Bytes& jpeg, const Bytes& extra) {
    const std::size_t at = frameHeightOffset(jpeg);
    EXPECT_NE(at, 0u);
    Bytes out = jpeg;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at - 5), extra.begin(), extra.end());
    return out;
}

TEST(DecodePicture, KeepsNaturalSizeAndColours) {
    // Four 16-pixel-wide bands: wide enough that compression leaves their centres close.
    const std::uint32_t bands[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const Bytes jpeg = testjpeg::encode(64, 24, [&](int x, int) { return bands[x / 16]; });
    const auto picture = decodePicture(jpeg);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 64);
    EXPECT_EQ(picture->height, 24);
    ASSERT_EQ(picture->pixels.size(), 64u * 24u);
    for (int band = 0; band < 4; ++band) {
        const std::uint32_t centre = picture->pixels[12 * 64 + band * 16 + 8];
        EXPECT_LE(channelDistance(centre, bands[band]), 24) << "band " << band;
        EXPECT_EQ(centre >> 24, 0u) << "no bits above the colour";
    }
}

TEST(DecodePicture, TopRowComesFirst) {
    const Bytes jpeg =
        testjpeg::encode(16, 32, [](int, int y) { return y < 16 ? 0x000000u : 0xFFFFFFu; });
    const auto picture = decodePicture(jpeg);
    ASSERT_TRUE(picture.has_value());
    EXPECT_LE(channelDistance(picture->pixels[4 * 16 + 8], 0x000000), 24);
    EXPECT_LE(channelDistance(picture->pixels[28 * 16 + 8], 0xFFFFFF), 24);
}

TEST(DecodePicture, OddSizesGreyscaleAndProgressive) {
    struct Case {
        int width;
        int height;
        testjpeg::Options options;
    };
    const Case cases[] = {
        {1, 1, {}}, {7, 5, {}}, {33, 17, {.grayscale = true}}, {40, 30, {.progressive = true}}};
    for (const Case& c : cases) {
        const auto picture = decodePicture(testjpeg::solid(c.width, c.height, 0x808080, c.options));
        ASSERT_TRUE(picture.has_value()) << c.width << "x" << c.height;
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        EXPECT_LE(channelDistance(picture->pixels.back(), 0x808080), 8);
    }
}

TEST(DecodePicture, BytesThatAreNoJpegGiveNoPicture) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                       'I',  'H', 'D', 'R', 0,    0,    0,    1,    0, 0, 0, 1};
    const std::string html = "<html><body>404 Not Found</body></html>";
    EXPECT_FALSE(decodePicture(Bytes{}).has_value());
    EXPECT_FALSE(decodePicture(png).has_value());
    EXPECT_FALSE(decodePicture(Bytes(html.begin(), html.end())).has_value());
    EXPECT_FALSE(decodePicture(Bytes{0xFF, 0xD8}).has_value());
    EXPECT_FALSE(decodePicture(Bytes(300, 0xFF)).has_value());
}

TEST(DecodePicture, TruncatedJpegGivesNoPicture) {
    const Bytes jpeg =
        testjpeg::encode(48, 48, [](int x, int y) { return (x * 5 + y * 3) * 0x010101u; });
    for (const std::size_t keep : {jpeg.size() / 4, jpeg.size() / 2, jpeg.size() - 3}) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_FALSE(decodePicture(cut).has_value()) << "kept " << keep << " bytes";
    }
}

TEST(DecodePicture, RefusesPicturesPastThePixelLimit) {
    const Bytes jpeg = testjpeg::solid(100, 50, 0x336699);
    EXPECT_TRUE(decodePictureWithin(jpeg, 5000).has_value());
    EXPECT_FALSE(decodePictureWithin(jpeg, 4999).has_value());

    // 9000 × 9000 is 81 megapixels, told by the header alone.
    Bytes bomb = testjpeg::solid(8, 8, 0x123456);
    writeFrameSize(bomb, 9000, 9000);
    const auto size = readJpegSize(bomb);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->width, 9000);
    EXPECT_EQ(size->height, 9000);
    EXPECT_FALSE(decodePicture(bomb).has_value());

    EXPECT_TRUE(pictureSizeAcceptable(8000, 8000));
    EXPECT_FALSE(pictureSizeAcceptable(8001, 8000));
    EXPECT_FALSE(pictureSizeAcceptable(65535, 65535));
    EXPECT_FALSE(pictureSizeAcceptable(0, 10));
}

TEST(ReadJpegSize, FindsTheFrameBehindOtherSegmentsOrNothing) {
    const Bytes baseline = testjpeg::solid(123, 45, 0x000000);
    const Bytes progressive = testjpeg::solid(9, 300, 0x000000, {.progressive = true});
    ASSERT_TRUE(readJpegSize(baseline).has_value());
    EXPECT_EQ(readJpegSize(baseline)->width, 123);
    EXPECT_EQ(readJpegSize(baseline)->height, 45);
    ASSERT_TRUE(readJpegSize(progressive).has_value());
    EXPECT_EQ(readJpegSize(progressive)->width, 9);
    EXPECT_EQ(readJpegSize(progressive)->height, 300);

    const Bytes cutInHeader(baseline.begin(), baseline.begin() + static_cast<std::ptrdiff_t>(
                                                                     frameHeightOffset(baseline)));
    EXPECT_FALSE(readJpegSize(cutInHeader).has_value());
    EXPECT_FALSE(readJpegSize(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2}).has_value());
    // A segment length running past the end.
    EXPECT_FALSE(readJpegSize(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF, 0}).has_value());
}

TEST(ReadJpegSize, PassesOverStrayBytesBeforeAMarkerAsLibjpegDoes) {
    const Bytes jpeg = testjpeg::solid(77, 33, 0x404040);
    const Bytes extras[] = {
        {0x00},
        {0x12, 0x34, 0x56},
        {0xFF, 0x00},  // a stuffed zero
        {'j', 'u', 'n', 'k', 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x7F},
        Bytes(600, 0xAB),
    };
    for (const Bytes& extra : extras) {
        const Bytes garbled = withBytesBeforeFrame(jpeg, extra);
        const auto size = readJpegSize(garbled);
        ASSERT_TRUE(size.has_value()) << extra.size() << " extra bytes";
        EXPECT_EQ(size->width, 77);
        EXPECT_EQ(size->height, 33);
        // libjpeg reads the same picture from them.
        const auto picture = decodePicture(garbled);
        ASSERT_TRUE(picture.has_value()) << extra.size() << " extra bytes";
        EXPECT_EQ(picture->width, 77);
        EXPECT_EQ(picture->height, 33);
    }

    // Stray bytes right after the start-of-image marker, before any segment.
    Bytes afterStart = jpeg;
    afterStart.insert(afterStart.begin() + 2, {0x01, 0x02, 0x03});
    ASSERT_TRUE(readJpegSize(afterStart).has_value());
    EXPECT_EQ(readJpegSize(afterStart)->width, 77);

    // An oversized frame stays oversized behind stray bytes.
    Bytes bomb = testjpeg::solid(8, 8, 0x123456);
    writeFrameSize(bomb, 9000, 9000);
    const Bytes garbledBomb = withBytesBeforeFrame(bomb, {0x11, 0x22, 0xFF, 0x00});
    ASSERT_TRUE(readJpegSize(garbledBomb).has_value());
    EXPECT_EQ(readJpegSize(garbledBomb)->width, 9000);
    EXPECT_FALSE(pictureSizeAllowed(garbledBomb));
    EXPECT_FALSE(decodePicture(garbledBomb).has_value());

    // Still nothing without the start-of-image marker first, or with only stray bytes.
    EXPECT_FALSE(readJpegSize(Bytes(jpeg.begin() + 2, jpeg.end())).has_value());
    Bytes shifted = jpeg;
    shifted.insert(shifted.begin(), 0x00);
    EXPECT_FALSE(readJpegSize(shifted).has_value());
    EXPECT_FALSE(readJpegSize(Bytes{0xFF, 0xD8, 1, 2, 3, 4, 5, 0xFF, 0x00, 6}).has_value());
    EXPECT_FALSE(
        readJpegSize(Bytes{0xFF, 0xD8, 1, 2, 0xFF, 0xD9, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 3})
            .has_value())
        << "end of image before the frame header";
}

TEST(PictureSizeAllowed, OnlyAReadableFrameSizeWithinTheLimitIsLetThrough) {
    const Bytes jpeg = testjpeg::solid(100, 50, 0x336699);
    EXPECT_TRUE(pictureSizeAllowed(jpeg));
    EXPECT_TRUE(pictureSizeAllowed(jpeg, 5000));
    EXPECT_FALSE(pictureSizeAllowed(jpeg, 4999));

    Bytes empty = jpeg;
    writeFrameSize(empty, 100, 0);
    EXPECT_FALSE(pictureSizeAllowed(empty)) << "a frame of no rows";

    // Pictures whose size only a full decoder would tell are refused before decoding.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x01, 0, 0x01, 0, 0x80, 0, 0};
    const Bytes bmp = {'B', 'M', 0x3A, 0,    0, 0, 0, 0,    0, 0, 0x36, 0,    0, 0,    0x28,
                       0,   0,   0,    0x01, 0, 0, 0, 0x01, 0, 0, 0,    0x01, 0, 0x18, 0};
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                       'I',  'H', 'D', 'R', 0,    0,    0,    1,    0, 0, 0, 1};
    EXPECT_FALSE(pictureSizeAllowed(gif));
    EXPECT_FALSE(pictureSizeAllowed(bmp));
    EXPECT_FALSE(pictureSizeAllowed(png));
    EXPECT_FALSE(pictureSizeAllowed(Bytes{}));
    // A JPEG whose frame header cannot be reached: scan data first, or cut before it.
    EXPECT_FALSE(pictureSizeAllowed(
        Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 3}));
    EXPECT_FALSE(pictureSizeAllowed(
        Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(frameHeightOffset(jpeg)))));
}

// Deterministic mutations of a real JPEG: whatever the decoder makes of them, it must come
// back, and a picture it gives must be whole.
TEST(DecodePicture, SurvivesMutatedJpegs) {
    const Bytes original = testjpeg::encode(24, 16, [](int x, int y) {
        return static_cast<std::uint32_t>((x * 10) << 16 | (y * 15) << 8 | 0x40);
    });
    std::mt19937 random(20240607u);
    int decoded = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes mutated = original;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < edits; ++i) {
            mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
        }
        if (round % 5 == 0) {
            mutated.resize(random() % mutated.size());
        }
        if (const auto picture = decodePicture(mutated)) {
            ++decoded;
            ASSERT_TRUE(pictureSizeAcceptable(picture->width, picture->height));
            // The size checked before decoding is the size decoded.
            const auto header = readJpegSize(mutated);
            ASSERT_TRUE(header.has_value()) << "round " << round;
            ASSERT_EQ(header->width, picture->width) << "round " << round;
            ASSERT_EQ(header->height, picture->height) << "round " << round;
            ASSERT_EQ(picture->pixels.size(),
                      static_cast<std::size_t>(picture->width) * picture->height);
        }
    }
    EXPECT_LT(decoded, 400) << "some mutations must be refused";
}

TEST(DecodePictureScaled, EqualsTheStretchedNaturalPicturePixelForPixel) {
    const auto noisy = [](int x, int y) {
        return static_cast<std::uint32_t>(((x * 37) ^ (y * 91)) & 0xFF) << 16 |
               static_cast<std::uint32_t>((x * 7 + y * 3) & 0xFF) << 8 |
               static_cast<std::uint32_t>((x * y) & 0xFF);
    };
    struct Case {
        int width;
        int height;
        testjpeg::Options options;
        std::int32_t toWidth;
        std::int32_t toHeight;
    };
    const Case cases[] = {
        {300, 200, {}, 75, 76},                    // shrinking, as into a cell
        {61, 43, {}, 192, 216},                    // enlarging
        {97, 55, {.grayscale = true}, 40, 90},     // one grows, one shrinks
        {120, 80, {.progressive = true}, 33, 17},  // several scans
        {16, 9, {}, 16, 9},                        // the natural size itself
        {1, 1, {}, 5, 3},
        {640, 480, {}, 19, 7},  // whole rows of blocks skipped
        {400, 300, {.progressive = true}, 10, 5},
    };
    for (const Case& c : cases) {
        const Bytes jpeg = testjpeg::encode(c.width, c.height, noisy, c.options);
        const auto natural = decodePicture(jpeg);
        ASSERT_TRUE(natural.has_value());
        Surface expected = Surface::filled(c.toWidth, c.toHeight, 0xABCDEF);
        stretchSurface(*natural, natural->bounds(), expected, expected.bounds());

        const auto scaled = decodePictureScaled(jpeg, c.toWidth, c.toHeight);
        ASSERT_TRUE(scaled.has_value()) << c.width << "x" << c.height;
        EXPECT_EQ(scaled->naturalSize, (PictureSize{c.width, c.height}));
        EXPECT_TRUE(scaled->picture == expected) << c.width << "x" << c.height;
        // Filling picks from the shown part by the same rule.
        for (const CellLook& look :
             {CellLook{true, false, {}}, CellLook{true, false, {{0.7f, -1}}}}) {
            const auto filled = decodePictureScaled(jpeg, c.toWidth, c.toHeight, look);
            ASSERT_TRUE(filled.has_value());
            EXPECT_TRUE(filled->picture == makeCellCopy(*natural, c.toWidth, c.toHeight, look))
                << c.width << "x" << c.height;
        }
    }
}

TEST(DecodePictureScaled, RefusesWhatTheNaturalDecodingRefuses) {
    const Bytes jpeg =
        testjpeg::encode(48, 48, [](int x, int y) { return (x * 5 + y * 3) * 0x010101u; });
    EXPECT_FALSE(decodePictureScaled(jpeg, 0, 10).has_value());
    EXPECT_FALSE(decodePictureScaled(jpeg, 10, -1).has_value());
    EXPECT_FALSE(decodePictureScaled(Bytes{0xFF, 0xD8}, 10, 10).has_value());
    // Cut so that only the bottom rows are missing: no sampled row needs them, but the
    // picture is still broken.
    for (const std::size_t keep : {jpeg.size() / 2, jpeg.size() - 3}) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_FALSE(decodePictureScaled(cut, 4, 4).has_value()) << "kept " << keep;
    }
    // A smooth copy of the top of a WebP decodes only down to there, yet a cut file is refused.
    const Bytes webp = testpictures::webp(
        64, 512, [](int x, int y) { return (x ^ y) * 0x010101u; }, false);
    const CellLook top{true, true, {{0.0f, 1.0f}}};
    ASSERT_TRUE(decodePictureScaled(webp, 8, 8, top).has_value());
    const Bytes cutWebp(webp.begin(),
                        webp.begin() + static_cast<std::ptrdiff_t>(webp.size() * 3 / 4));
    EXPECT_FALSE(decodePicture(cutWebp).has_value());
    EXPECT_FALSE(decodePictureScaled(cutWebp, 8, 8, top).has_value());
}

TEST(DecodePicture, EveryPixelIsWrittenAndHoldsOnlyColourBits) {
    // Decoding writes into memory that is not cleared first: a large picture of one colour
    // must come out as that colour everywhere, with the fourth byte zero.
    const Bytes jpeg = testjpeg::solid(640, 480, 0x204060);
    for (int round = 0; round < 3; ++round) {
        const auto picture = decodePicture(jpeg);
        ASSERT_TRUE(picture.has_value());
        int wrong = 0;
        for (const std::uint32_t pixel : picture->pixels) {
            wrong += (pixel >> 24) != 0 || channelDistance(pixel, 0x204060) > 4 ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0);
    }
}

// Opaque 0xAARRGGBB colours for the encoders, and what a surface holds for them.
constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uint32_t gradientAt(int x, int y) {
    return kOpaque | rgb(static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 8), 0x40);
}

// The worst channel distance between a decoded picture and what the encoder was given.
int worstDistance(const Surface& picture, std::uint32_t (*colourAt)(int, int)) {
    int worst = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            worst = std::max(worst, channelDistance(picture.pixels[y * picture.width + x],
                                                    colourAt(x, y) & 0x00FFFFFFu));
        }
        EXPECT_EQ(picture.pixels[y * picture.width] >> 24, 0u) << "no bits above the colour";
    }
    return worst;
}

TEST(DecodePicture, PngAndWebpAreToldByTheirBytesAndDecodeToTheirPixels) {
    struct Case {
        const char* name;
        Bytes bytes;
        PictureFormat format;
        int tolerance;
    };
    const auto solid = [](int, int) { return kOpaque | 0x3366CCu; };
    const Case cases[] = {
        {"png gradient", testpictures::png(40, 24, gradientAt), PictureFormat::png, 0},
        {"png solid", testpictures::png(40, 24, solid), PictureFormat::png, 0},
        {"lossless webp gradient", testpictures::webp(40, 24, gradientAt, true),
         PictureFormat::webp, 0},
        {"lossy webp gradient", testpictures::webp(40, 24, gradientAt, false), PictureFormat::webp,
         24},
        {"jpeg gradient", testjpeg::encode(40, 24, gradientAt), PictureFormat::jpeg, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        EXPECT_EQ(pictureFormatOf(c.bytes), c.format);
        ASSERT_EQ(readPictureSize(c.bytes), (PictureSize{40, 24}));
        const auto picture = decodePicture(c.bytes);
        ASSERT_TRUE(picture.has_value());
        ASSERT_EQ(picture->width, 40);
        ASSERT_EQ(picture->height, 24);
        const bool isSolid = c.name == std::string("png solid");
        EXPECT_LE(
            worstDistance(*picture, isSolid ? +[](int, int) { return 0x3366CCu; } : gradientAt),
            c.tolerance);
        // A cell copy of any format is the natural picture stretched.
        const auto scaled = decodePictureScaled(c.bytes, 13, 7);
        ASSERT_TRUE(scaled.has_value());
        EXPECT_EQ(scaled->naturalSize, (PictureSize{40, 24}));
        Surface expected = Surface::uninitialised(13, 7);
        stretchSurface(*picture, picture->bounds(), expected, expected.bounds());
        EXPECT_EQ(scaled->picture.pixels, expected.pixels);
    }
}

TEST(DecodePicture, TransparencyShowsOverWhiteAndAnAnimationShowsItsFirstFrame) {
    // Left half clear, right half half-covered black.
    const Bytes png = testpictures::png(8, 2, [](int x, int) { return x < 4 ? 0u : 0x80000000u; });
    const auto flat = decodePicture(png);
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(flat->pixels[0], 0xFFFFFFu);
    EXPECT_LE(channelDistance(flat->pixels[7], 0x7F7F7F), 1);

    const Bytes animated =
        testpictures::animatedWebp(24, 16, {kOpaque | 0xFF0000u, kOpaque | 0x0000FFu});
    ASSERT_EQ(pictureFormatOf(animated), PictureFormat::webp);
    const auto first = decodePicture(animated);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->width, 24);
    EXPECT_EQ(first->height, 16);
    EXPECT_EQ(first->pixels.front(), 0xFF0000u);
    EXPECT_EQ(first->pixels.back(), 0xFF0000u);
}

// A 16-bit PNG that names no colour space shows its samples as sRGB, as viewers show it, not
// brightened as if they were linear light.
TEST(DecodePicture, AnUntagged16BitPngKeepsItsColours) {
    std::ifstream in(std::string(TILVANE_SOURCE_DIR) + "/tools/fakeservice/media/p01.png",
                     std::ios::binary);
    const Bytes png{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(png.size() > 25 ? png[24] : 0, 16) << "the fake service's 16-bit picture";
    const auto picture = decodePicture(png);
    ASSERT_TRUE(picture.has_value());
    const std::uint32_t centre = picture->pixels[static_cast<std::size_t>(
        picture->height / 2 * picture->width + picture->width / 2)];
    EXPECT_LE(channelDistance(centre, 0x7FBF7F), 2);
}

void writeBigEndian(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

// The PNG with another width and height in its header chunk and that chunk's checksum made
// right, so only the size tells it from a real file.
Bytes withPngSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    writeBigEndian(png, 16, width);
    writeBigEndian(png, 20, height);
    writeBigEndian(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

TEST(DecodePicture, PngAndWebpBombsAndTruncatedFilesGiveNoPicture) {
    const Bytes png = testpictures::png(100, 50, gradientAt);
    EXPECT_TRUE(decodePictureWithin(png, 5000).has_value());
    EXPECT_FALSE(decodePictureWithin(png, 4999).has_value());
    const Bytes webp = testpictures::webp(100, 50, gradientAt, false);
    EXPECT_TRUE(decodePictureWithin(webp, 5000).has_value());
    EXPECT_FALSE(decodePictureWithin(webp, 4999).has_value());

    // 100000 × 100000 declared by a few hundred bytes: refused from the header.
    const Bytes bomb = withPngSize(png, 100000, 100000);
    EXPECT_EQ(readPictureSize(bomb), (PictureSize{100000, 100000}));
    EXPECT_FALSE(pictureSizeAllowed(bomb));
    EXPECT_FALSE(decodePicture(bomb).has_value());
    // Within the cap by its header, but its data inflates to far fewer rows than declared.
    EXPECT_FALSE(decodePicture(withPngSize(png, 7000, 7000)).has_value());

    for (const Bytes* file : {&png, &webp}) {
        for (const std::size_t keep : {std::size_t{20}, file->size() / 2, file->size() - 5}) {
            const Bytes cut(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(keep));
            EXPECT_FALSE(decodePicture(cut).has_value()) << "kept " << keep << " bytes";
            EXPECT_FALSE(decodePictureScaled(cut, 4, 4).has_value()) << "kept " << keep;
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "mosaic/raster/jpeg_scan_count.h"
#include "mosaic/raster/picture_decoder.h"
#include "tests/support/hostile_jpeg.h"
#include "tests/support/test_jpeg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

Bytes readTestData(const char* name) {
    std::ifstream in(std::string(TILVANE_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(CountJpegScans, CountsEveryStartOfScanMarkerAndStopsPastTheLimit) {
    EXPECT_EQ(countJpegScans(testjpeg::emptyScans(16, 16, 0), kNoLimit), 0u);
    EXPECT_EQ(countJpegScans(testjpeg::emptyScans(16, 16, 1), kNoLimit), 1u);
    EXPECT_EQ(countJpegScans(testjpeg::emptyScans(16, 16, 250), kNoLimit), 250u);
    EXPECT_EQ(countJpegScans(testjpeg::emptyScans(16, 16, 250), 100), 101u);
    // Fill bytes before the code, and a marker pair split at the end.
    EXPECT_EQ(countJpegScans(Bytes{0xFF, 0xFF, 0xFF, 0xDA, 0x00, 0xFF}), 1u);
    EXPECT_EQ(countJpegScans(Bytes{}), 0u);
    // A stuffed 0xFF in scan data is no marker.
    EXPECT_EQ(countJpegScans(Bytes{0xFF, 0x00, 0xDA, 0xFF, 0xD9}), 0u);
}

TEST(CountJpegScans, RealProgressiveFilesStayFarBelowTheBound) {
    testjpeg::Options progressive;
    progressive.progressive = true;
    const Bytes colour = testjpeg::solid(64, 48, 0x336699, progressive);
    EXPECT_GT(countJpegScans(colour), 1u);
    EXPECT_LE(countJpegScans(colour), 20u);
    progressive.grayscale = true;
    EXPECT_LE(countJpegScans(testjpeg::solid(64, 48, 0x777777, progressive)), 20u);
}

TEST(DecodePicture, RefusesFilesOfMoreScansThanTheBound) {
    // Small frames decode either way; only the count decides.
    EXPECT_TRUE(decodePicture(testjpeg::emptyScans(16, 16, kMaxJpegScans)).has_value());
    EXPECT_FALSE(decodePicture(testjpeg::emptyScans(16, 16, kMaxJpegScans + 1)).has_value());
    testjpeg::Options progressive;
    progressive.progressive = true;
    EXPECT_TRUE(decodePicture(testjpeg::solid(64, 48, 0x336699, progressive)).has_value());
}

TEST(DecodePicture, RefusesTheEmptyScanFileThatHeldTheDecoder) {
    // 14.5 KB: an 8000 × 8000 progressive frame and 1000 scans without data. Without the
    // bound the decoder spends seconds on it and hands back a grey picture.
    const Bytes file = readTestData("progressive_1000_empty_scans.jpg");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(countJpegScans(file, kNoLimit), 1000u);
    const auto size = readJpegSize(file);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->width, 8000);
    EXPECT_FALSE(decodePicture(file).has_value());
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_hash.h"
#include "tests/mosaic/grid_test_support.h"
#include "tests/support/test_jpeg.h"
#include "tests/support/test_pictures.h"

namespace {

using gridtest::fileBytes;
const std::filesystem::path kMedia = gridtest::mediaFolder();

std::uint64_t hashOfBytes(const std::vector<std::uint8_t>& bytes) {
    const auto picture = decodePicture(bytes);
    EXPECT_TRUE(picture.has_value());
    const auto hash = picture ? pictureHash(*picture) : std::nullopt;
    EXPECT_TRUE(hash.has_value());
    return hash.value_or(0);
}

Surface cropOf(const Surface& picture, Rect part) {
    Surface crop = Surface::filled(part.width(), part.height());
    copySurface(picture, part, crop, 0, 0);
    return crop;
}

Surface scaledOf(const Surface& picture, int divisor) {
    Surface scaled = Surface::filled(picture.width / divisor, picture.height / divisor);
    stretchSurface(picture, picture.bounds(), scaled, scaled.bounds());
    return scaled;
}

// The copies the measurement in docs/picture-hash.md makes of a picture, each encoded.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> copiesOf(const Surface& p) {
    const auto jpeg = [](const Surface& s, int quality) {
        return testjpeg::encode(s.width, s.height, [&](int x, int y) { return *pixelAt(s, x, y); },
                                {.quality = quality});
    };
    const auto opaque = [&p](int x, int y) { return *pixelAt(p, x, y) | 0xFF000000u; };
    const int w = p.width;
    const int h = p.height;
    return {
        {"quality 95", jpeg(p, 95)},
        {"quality 50", jpeg(p, 50)},
        {"half size", jpeg(scaledOf(p, 2), 85)},
        {"quarter size", jpeg(scaledOf(p, 4), 85)},
        {"2 % off one side", jpeg(cropOf(p, Rect{0, 0, w - w / 50, h}), 85)},
        {"2.5 % off every side", jpeg(cropOf(p, Rect{w / 40, h / 40, w - w / 40, h - h / 40}), 85)},
        {"PNG", testpictures::png(w, h, opaque)},
        {"WebP", testpictures::webp(w, h, opaque, false)},
    };
}

// A picture without the symmetry of the drawn test pictures, as a photograph has none: soft
// blobs of colour at places drawn from a fixed seed over a gradient.
Surface photoLike(int width, int height, unsigned seed) {
    std::mt19937 engine(seed);
    struct Blob {
        double x, y, radius;
        std::uint32_t colour;
    };
    std::vector<Blob> blobs;
    for (int index = 0; index < 12; ++index) {
        blobs.push_back({engine() % 1000 / 1000.0 * width, engine() % 1000 / 1000.0 * height,
                         (0.05 + engine() % 1000 / 5000.0) * width,
                         static_cast<std::uint32_t>(engine() & 0xFFFFFFu)});
    }
    Surface picture = Surface::filled(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double mix[3] = {255.0 * x / width, 255.0 * y / height, 128};
            for (const Blob& blob : blobs) {
                const double dx = (x - blob.x) / blob.radius;
                const double dy = (y - blob.y) / blob.radius;
                const double weight = std::exp(-(dx * dx + dy * dy));
                for (int c = 0; c < 3; ++c) {
                    const double value = (blob.colour >> (16 - 8 * c)) & 0xFF;
                    mix[c] = mix[c] * (1 - weight) + value * weight;
                }
            }
            picture.pixels[static_cast<std::size_t>(y * width + x)] =
                rgb(static_cast<std::uint8_t>(mix[0]), static_cast<std::uint8_t>(mix[1]),
                    static_cast<std::uint8_t>(mix[2]));
        }
    }
    return picture;
}

TEST(PictureHash, EveryKindOfCopyLooksLikeItsPicture) {
    std::vector<std::uint64_t> originals;
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        const Surface picture = photoLike(320, 240, seed);
        originals.push_back(*pictureHash(picture));
        for (const auto& [kind, bytes] : copiesOf(picture)) {
            EXPECT_LE(hashDistance(originals.back(), hashOfBytes(bytes)), kSamePictureDistance)
                << "seed " << seed << ", " << kind;
        }
    }
    for (std::size_t i = 0; i < originals.size(); ++i) {
        for (std::size_t j = i + 1; j < originals.size(); ++j) {
            EXPECT_FALSE(looksLikeSamePicture(originals[i], originals[j])) << i << " and " << j;
        }
    }
    EXPECT_FALSE(pictureHash(Surface{}).has_value());
}

// The fake service's pictures that decode (x01 to x04 are broken on purpose); the same bytes
// under two names (d01, d02) are one picture.
TEST(PictureHash, DistinctCommittedPicturesDoNotLookAlike) {
    std::vector<std::pair<std::string, std::uint64_t>> hashes;
    std::set<std::vector<std::uint8_t>> seen;
    for (const auto& entry : std::filesystem::directory_iterator(kMedia)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        auto bytes = fileBytes(entry.path());
        const auto picture = decodePicture(bytes);
        if (picture && seen.insert(std::move(bytes)).second) {
            hashes.emplace_back(entry.path().filename().string(), *pictureHash(*picture));
        }
    }
    ASSERT_GE(hashes.size(), 30u);
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        for (std::size_t j = i + 1; j < hashes.size(); ++j) {
            EXPECT_FALSE(looksLikeSamePicture(hashes[i].second, hashes[j].second))
                << hashes[i].first << " and " << hashes[j].first;
        }
    }
}

}  // namespace

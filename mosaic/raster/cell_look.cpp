#include "mosaic/raster/cell_look.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

std::int32_t focusedStart(float focus, std::int32_t whole, std::int32_t part) {
    const double centre = (static_cast<double>(focus) + 1.0) / 2.0 * whole;
    const auto start = static_cast<std::int64_t>(std::lround(centre - part / 2.0));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, whole - part));
}

// Linear light of each 8-bit sRGB value, and the sRGB value of linear light in 4096 steps.
constexpr int kLinearSteps = 4096;

struct LightTables {
    std::array<float, 256> linear{};
    std::array<std::uint8_t, kLinearSteps + 1> encoded{};
    LightTables() {
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            linear[i] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i <= kLinearSteps; ++i) {
            const double l = static_cast<double>(i) / kLinearSteps;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            encoded[i] = static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
    }
};

const LightTables& lightTables() {
    static const LightTables tables;
    return tables;
}

// For each destination pixel of a span, the source pixels under it and their shares.
struct Taps {
    std::vector<std::int32_t> first;
    std::vector<std::size_t> offset;  // into weights; one more entry than pixels
    std::vector<float> weights;
};

Taps tapsFor(double sourceStart, double sourceLength, std::int32_t sourceEnd, std::int32_t length) {
    Taps taps;
    const double step = sourceLength / length;
    for (std::int32_t d = 0; d < length; ++d) {
        const double from = sourceStart + d * step;
        const double to = sourceStart + (d + 1) * step;
        const auto low = static_cast<std::int32_t>(std::floor(from));
        const auto high = std::min(sourceEnd, static_cast<std::int32_t>(std::ceil(to)));
        taps.first.push_back(low);
        taps.offset.push_back(taps.weights.size());
        for (std::int32_t s = low; s < high; ++s) {
            const double covered = std::min<double>(to, s + 1) - std::max<double>(from, s);
            taps.weights.push_back(static_cast<float>(covered / step));
        }
    }
    taps.offset.push_back(taps.weights.size());
    return taps;
}

// Adds weight × the horizontally averaged source row into sums (three channels a pixel).
void addRow(const std::uint32_t* row, const Taps& across, float weight, std::vector<float>& sums) {
    const auto& linear = lightTables().linear;
    for (std::size_t x = 0; x + 1 < across.offset.size(); ++x) {
        float red = 0, green = 0, blue = 0;
        const std::uint32_t* source = row + across.first[x];
        for (std::size_t t = across.offset[x]; t < across.offset[x + 1]; ++t, ++source) {
            const float share = across.weights[t];
            red += share * linear[(*source >> 16) & 0xFF];
            green += share * linear[(*source >> 8) & 0xFF];
            blue += share * linear[*source & 0xFF];
        }
        sums[3 * x] += weight * red;
        sums[3 * x + 1] += weight * green;
        sums[3 * x + 2] += weight * blue;
    }
}

std::uint8_t encodedLight(float light) {
    const auto step = std::lround(std::clamp(light, 0.0f, 1.0f) * kLinearSteps);
    return lightTables().encoded[static_cast<std::size_t>(step)];
}

}  // namespace

Rect shownPart(PictureSize picture, std::int32_t cellWidth, std::int32_t cellHeight,
               const CellLook& look) {
    if (picture.width < 1 || picture.height < 1 || cellWidth < 1 || cellHeight < 1) {
        return Rect{};
    }
    if (!look.fill) {
        return Rect{0, 0, picture.width, picture.height};
    }
    const std::int64_t wide = std::int64_t{picture.width} * cellHeight;
    const std::int64_t tall = std::int64_t{picture.height} * cellWidth;
    std::int32_t width = picture.width;
    std::int32_t height = picture.height;
    if (wide > tall) {
        width = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            (std::int64_t{picture.height} * cellWidth + cellHeight / 2) / cellHeight, 1,
            picture.width));
    } else {
        height = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            (std::int64_t{picture.width} * cellHeight + cellWidth / 2) / cellWidth, 1,
            picture.height));
    }
    const auto [x, y] = look.focus.value_or(std::pair<float, float>{0.0f, 0.0f});
    const std::int32_t left = focusedStart(std::clamp(x, -1.0f, 1.0f), picture.width, width);
    const std::int32_t top = focusedStart(-std::clamp(y, -1.0f, 1.0f), picture.height, height);
    return rectOfSize(left, top, width, height);
}

void averageSurface(const Surface& src, Rect srcRect, Surface& dst) {
    averageSurfaceArea(src, srcRect.left, srcRect.top, srcRect.width(), srcRect.height(), dst);
}

void averageSurfaceArea(const Surface& src, double left, double top, double width, double height,
                        Surface& dst) {
    // An area scaled from another picture's may pass the edge by a rounding error; the taps
    // stop at the edge.
    constexpr double kEdgeSlack = 1e-9;
    if (src.empty() || dst.empty() || !(width > 0) || !(height > 0) || !(left >= 0) ||
        !(top >= 0) || !(left + width <= src.width + kEdgeSlack) ||
        !(top + height <= src.height + kEdgeSlack)) {
        return;
    }
    const Taps across = tapsFor(left, width, src.width, dst.width);
    const Taps down = tapsFor(top, height, src.height, dst.height);
    std::vector<float> sums(static_cast<std::size_t>(dst.width) * 3);
    for (std::int32_t y = 0; y < dst.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        std::int32_t sourceY = down.first[static_cast<std::size_t>(y)];
        for (std::size_t t = down.offset[static_cast<std::size_t>(y)];
             t < down.offset[static_cast<std::size_t>(y) + 1]; ++t, ++sourceY) {
            addRow(src.pixels.data() + static_cast<std::size_t>(sourceY) * src.width, across,
                   down.weights[t], sums);
        }
        std::uint32_t* target = dst.pixels.data() + static_cast<std::size_t>(y) * dst.width;
        for (std::int32_t x = 0; x < dst.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(x) * 3;
            target[x] =
                rgb(encodedLight(sums[at]), encodedLight(sums[at + 1]), encodedLight(sums[at + 2]));
        }
    }
}

Surface makeCellCopy(const Surface& picture, std::int32_t width, std::int32_t height,
                     const CellLook& look) {
    Surface copy = Surface::uninitialised(width, height);
    const Rect part = shownPart(PictureSize{picture.width, picture.height}, width, height, look);
    if (picture.empty() || copy.empty() || part.width() < 1) {
        return Surface{};
    }
    if (look.smooth) {
        averageSurface(picture, part, copy);
    } else {
        stretchSurface(picture, part, copy, copy.bounds());
    }
    return copy;
}

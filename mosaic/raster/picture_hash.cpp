#include "mosaic/raster/picture_hash.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace {

constexpr std::size_t kGrey = 32;  // side of the grey copy
constexpr std::size_t kLow = 7;    // side of the block of lowest frequencies kept
constexpr int kShapeBits = kLow * kLow - 1;

using GreyCopy = std::array<double, kGrey * kGrey>;

// Thermometer bits of the mean red, green and blue; with the shape bits they fill 64.
constexpr int kLevels[3] = {5, 6, 5};
static_assert(kShapeBits + kLevels[0] + kLevels[1] + kLevels[2] == 64);

double lumaOf(std::uint32_t colour) {
    return 0.299 * ((colour >> 16) & 0xFF) + 0.587 * ((colour >> 8) & 0xFF) +
           0.114 * (colour & 0xFF);
}

// One of the 32 × 32 cells: the Rec. 601 luma of its pixels added in reading order (the order
// fixes the rounding, on which a flat or mirrored picture's hash depends), and the sum of
// each channel.
struct CellSums {
    double luma = 0;
    std::array<std::uint64_t, 3> channels{};  // red, green, blue
    std::uint64_t count = 0;
};
using CellGrid = std::array<CellSums, kGrey * kGrey>;

void addSpan(CellSums& cell, const std::uint32_t* begin, const std::uint32_t* end) {
    double luma = cell.luma;
    std::array<std::uint64_t, 3> channels{};
    for (const std::uint32_t* pixel = begin; pixel != end; ++pixel) {
        luma += lumaOf(*pixel);
        channels[0] += (*pixel >> 16) & 0xFF;
        channels[1] += (*pixel >> 8) & 0xFF;
        channels[2] += *pixel & 0xFF;
    }
    cell.luma = luma;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        cell.channels[channel] += channels[channel];
    }
    cell.count += static_cast<std::uint64_t>(end - begin);
}

// Every pixel falls in exactly one cell, column x in cell x * 32 / width: one pass over the
// picture, span by span along each row.
CellGrid cellSums(const Surface& picture) {
    CellGrid cells{};
    const auto width = static_cast<std::size_t>(picture.width);
    const auto height = static_cast<std::size_t>(picture.height);
    std::array<std::size_t, kGrey + 1> firstColumn{};
    for (std::size_t cell = 0; cell <= kGrey; ++cell) {
        firstColumn[cell] = (cell * width + kGrey - 1) / kGrey;
    }
    for (std::size_t y = 0; y < height; ++y) {
        CellSums* row = cells.data() + y * kGrey / height * kGrey;
        const std::uint32_t* line = picture.pixels.data() + y * width;
        for (std::size_t cell = 0; cell < kGrey; ++cell) {
            addSpan(row[cell], line + firstColumn[cell], line + firstColumn[cell + 1]);
        }
    }
    return cells;
}

// The cells' mean luma.
GreyCopy greyCopy(const CellGrid& cells) {
    GreyCopy grey{};
    for (std::size_t cell = 0; cell < grey.size(); ++cell) {
        // A picture narrower or lower than 32 pixels leaves cells empty: they take their
        // neighbour's value, so the copy stays the picture stretched.
        if (cells[cell].count != 0) {
            grey[cell] = cells[cell].luma / static_cast<double>(cells[cell].count);
        } else if (cell % kGrey != 0) {
            grey[cell] = grey[cell - 1];
        } else if (cell >= kGrey) {
            grey[cell] = grey[cell - kGrey];
        }
    }
    return grey;
}

// cos((2n + 1) k π / 64) for the kept frequencies k.
const std::array<double, kLow * kGrey>& cosines() {
    static const std::array<double, kLow* kGrey> table = [] {
        std::array<double, kLow * kGrey> values{};
        for (std::size_t k = 0; k < kLow; ++k) {
            for (std::size_t n = 0; n < kGrey; ++n) {
                values[k * kGrey + n] = std::cos(static_cast<double>((2 * n + 1) * k) *
                                                 std::numbers::pi / (2.0 * kGrey));
            }
        }
        return values;
    }();
    return table;
}

// One coefficient of a one-dimensional DCT-II of 32 values.
double coefficient(const double* values, std::size_t frequency) {
    const double* cos = cosines().data() + frequency * kGrey;
    double sum = 0;
    for (std::size_t n = 0; n < kGrey; ++n) {
        sum += values[n] * cos[n];
    }
    return sum;
}

// The 7 × 7 lowest frequencies of the grey copy's two-dimensional DCT-II: along each row, then
// down each column of those.
std::array<double, kLow * kLow> lowFrequencies(const GreyCopy& grey) {
    std::array<double, kLow * kGrey> rows{};  // frequency u of row y at u * 32 + y
    for (std::size_t y = 0; y < kGrey; ++y) {
        for (std::size_t u = 0; u < kLow; ++u) {
            rows[u * kGrey + y] = coefficient(grey.data() + y * kGrey, u);
        }
    }
    std::array<double, kLow * kLow> block{};
    for (std::size_t v = 0; v < kLow; ++v) {
        for (std::size_t u = 0; u < kLow; ++u) {
            block[v * kLow + u] = coefficient(rows.data() + u * kGrey, v);
        }
    }
    return block;
}

// The mean colour, each channel as a thermometer code of kLevels[c] bits: one more bit set
// per step of brightness, so near colours differ in few bits.
std::uint64_t colourBits(const CellGrid& cells) {
    std::array<double, 3> sums{};
    double count = 0;
    for (const CellSums& cell : cells) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            sums[channel] += static_cast<double>(cell.channels[channel]);
        }
        count += static_cast<double>(cell.count);
    }
    std::uint64_t bits = 0;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const double mean = sums[channel] / count;
        const int levels = kLevels[channel];
        const int level = std::min(levels, static_cast<int>(mean * (levels + 1) / 256.0));
        for (int bit = 0; bit < levels; ++bit) {
            bits = (bits << 1) | (bit < level ? 1u : 0u);
        }
    }
    return bits;
}

}  // namespace

std::optional<std::uint64_t> pictureHash(const Surface& picture) {
    if (picture.empty()) {
        return std::nullopt;
    }
    const CellGrid cells = cellSums(picture);
    const auto block = lowFrequencies(greyCopy(cells));
    // The mean brightness (the first coefficient) says nothing of the picture's shape.
    std::array<double, kLow * kLow - 1> ac{};
    std::copy(block.begin() + 1, block.end(), ac.begin());
    std::array<double, kLow* kLow - 1> sorted = ac;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::uint64_t hash = 0;
    for (std::size_t index = 0; index < ac.size(); ++index) {
        hash = (hash << 1) | (ac[index] > median ? 1u : 0u);
    }
    return (hash << (kLevels[0] + kLevels[1] + kLevels[2])) | colourBits(cells);
}

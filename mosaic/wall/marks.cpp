#include "mosaic/wall/marks.h"

#include <algorithm>
#include <vector>

#include "mosaic/wall/app_state.h"

namespace {

// One stretch of a row of a mark at a cell's size whose pixels are not the key colour.
struct MarkRun {
    std::int32_t y = 0;
    std::int32_t left = 0;
    std::int32_t right = 0;
};

// A mark stretched to one cell size once, with the runs of its visible pixels, so drawing it
// touches the coloured ring only. Made by the same transparent stretch drawMark stands for.
struct MarkAtCellSize {
    Surface source;
    std::uint32_t key = 0;
    Surface stretched;
    std::vector<MarkRun> runs;
};

const MarkAtCellSize& markAtCellSize(const Surface& mark, std::uint32_t key, std::int32_t width,
                                     std::int32_t height) {
    // The three marks at the current cell size; a mark replaced or a new cell size makes its
    // entry anew.
    static std::vector<MarkAtCellSize> made;
    for (const MarkAtCellSize& entry : made) {
        if (entry.key == key && entry.stretched.width == width &&
            entry.stretched.height == height && entry.source == mark) {
            return entry;
        }
    }
    if (made.size() >= 6) {
        made.erase(made.begin());
    }
    MarkAtCellSize entry;
    entry.source = mark;
    entry.key = key;
    entry.stretched = Surface::filled(width, height, key);
    stretchSurface(mark, mark.bounds(), entry.stretched, entry.stretched.bounds());
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint32_t* row = &entry.stretched.pixels[static_cast<std::size_t>(y) * width];
        for (std::int32_t x = 0; x < width;) {
            if (row[x] == key) {
                ++x;
                continue;
            }
            const std::int32_t left = x;
            while (x < width && row[x] != key) {
                ++x;
            }
            entry.runs.push_back(MarkRun{y, left, x});
        }
    }
    made.push_back(std::move(entry));
    return made.back();
}

}  // namespace

Surface makeMarkSurface(std::uint32_t frameColour, std::uint32_t keyColour) {
    Surface mark = Surface::filled(kMarkSize, kMarkSize, keyColour);
    const std::int32_t outer = kMarkKeyRing;
    const std::int32_t inner = kMarkKeyRing + kMarkFrameRing;
    fillSurface(mark, Rect{outer, outer, kMarkSize - outer, kMarkSize - outer}, frameColour);
    fillSurface(mark, Rect{inner, inner, kMarkSize - inner, kMarkSize - inner}, keyColour);
    return mark;
}

void drawMark(const Surface& mark, std::int32_t left, std::int32_t top) {
    const std::optional<std::uint32_t> key = pixelAt(mark, 0, 0);
    if (!key) {
        return;
    }
    AppState& state = appState();
    if (mark.empty() || state.tileWidth < 1 || state.tileHeight < 1) {
        return;
    }
    const MarkAtCellSize& sized = markAtCellSize(mark, *key, state.tileWidth, state.tileHeight);
    for (const MarkRun& run : sized.runs) {
        copySurface(sized.stretched, Rect{run.left, run.y, run.right, run.y + 1}, state.backBuffer,
                    left + run.left, top + run.y);
    }
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mosaic/surface.h"

// Longest name a canvas holds, in bytes. Longer names are refused, never cut, so a cut URL can
// never stand for a different image.
inline constexpr std::size_t kMaxCanvasNameBytes = 255;

inline constexpr std::string_view kGridCanvasName = "main";
inline constexpr std::string_view kQueueCanvasName = "sub";
inline constexpr std::string_view kImageCanvasName = "kakudai";

inline constexpr std::int32_t kNewMarkSet = 255;

struct Canvas;

// Canvases are kept in order, appended at the end and searched front to back. Elements keep
// their address while they stay in a list, and move between lists by splicing.
using CanvasList = std::list<Canvas>;

// One named node of the mosaic: a group canvas ("main" = the grid, "sub" = the queue), a tile,
// or a tile's full-size image canvas ("kakudai").
struct Canvas {
    // Grid tile: its cell in client pixels. Queued tile: all zero. Image canvas: (0, 0, w, h).
    Rect rect;
    // Group: "main" or "sub". Tile: the image URL. Image canvas: "kakudai".
    std::string name;
    // Tile: the address of the full-size picture when its source names one; empty when the
    // full size is the name with ":orig" (the built-in service).
    std::string originalUrl;
    // Tile: size in bytes of the encoded image.
    std::int32_t byteSize = 0;
    // Image canvas: the decoded picture at its natural size.
    std::optional<Surface> surface;
    // Tile: kNewMarkSet when the latest placement pass put it into the grid, else 0.
    std::int32_t newMark = 0;
    // Tile: the encoded image bytes exactly as downloaded or read from disk.
    std::vector<std::uint8_t> imageBytes;
    // Tile: 1 = ordinary tile a new image may replace, 0 = pinned (or still queued).
    std::int32_t replaceable = 0;
    // Selection copy: 1 while the tile's context menu is open.
    std::int32_t shown = 0;
    // Group: its tiles. Tile: exactly one image canvas.
    CanvasList children;
};

// A canvas standing in the grid or in the queue.
using Tile = Canvas;

inline bool isAcceptableCanvasName(std::string_view name) {
    return name.size() <= kMaxCanvasNameBytes;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mosaic/raster/surface.h"

// Longest name a canvas holds, in bytes. Longer names are refused, never cut, so a cut URL can
// never stand for a different image.
inline constexpr std::size_t kMaxCanvasNameBytes = 255;

inline constexpr std::string_view kGridCanvasName = "main";
inline constexpr std::string_view kQueueCanvasName = "sub";
inline constexpr std::string_view kImageCanvasName = "kakudai";

inline constexpr std::int32_t kNewMarkSet = 255;

struct Canvas;

// A tile's encoded bytes: never changed once the tile has them, and shared, so that a cell copy
// being made off the user-interface thread can go on reading them while the tile goes away.
class SharedBytes {
  public:
    SharedBytes() = default;
    SharedBytes(std::vector<std::uint8_t> bytes)
        : bytes_(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))) {}
    SharedBytes(std::initializer_list<std::uint8_t> bytes)
        : SharedBytes(std::vector<std::uint8_t>(bytes)) {}

    operator const std::vector<std::uint8_t>&() const { return bytes_ ? *bytes_ : none(); }
    const std::uint8_t* data() const { return bytes_ ? bytes_->data() : nullptr; }
    std::size_t size() const { return bytes_ ? bytes_->size() : 0; }
    bool empty() const { return size() == 0; }
    const std::uint8_t* begin() const { return data(); }
    const std::uint8_t* end() const { return data() + size(); }
    std::shared_ptr<const std::vector<std::uint8_t>> share() const { return bytes_; }

    friend bool operator==(const SharedBytes& shared, const std::vector<std::uint8_t>& bytes) {
        return static_cast<const std::vector<std::uint8_t>&>(shared) == bytes;
    }

  private:
    static const std::vector<std::uint8_t>& none() {
        static const std::vector<std::uint8_t> empty;
        return empty;
    }
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
};

// Where a tile's picture was posted, as its source described it (empty where it says nothing).
struct TileOrigin {
    std::string author;    // handle or name
    std::string postPage;  // the post's page
    // Focal point in [-1, 1], x to the right, y upwards; none: the picture's centre.
    std::optional<std::pair<float, float>> focus;
};

// Canvases are kept in order, appended at the end and searched front to back. Elements keep
// their address while they stay in a list, and move between lists by splicing.
using CanvasList = std::list<Canvas>;

// One named node of the mosaic: a group canvas ("main" = the grid, "sub" = the queue), a tile,
// or a tile's image canvas ("kakudai"), which records the picture's natural size.
struct Canvas {
    // Grid tile: its cell in client pixels. Queued tile: all zero. Image canvas: (0, 0, w, h).
    Rect rect;
    // Group: "main" or "sub". Tile: the image URL. Image canvas: "kakudai".
    std::string name;
    // Tile: the address of the full-size picture when its source names one; empty when the
    // full size is the name with ":orig" (the built-in service).
    std::string originalUrl;
    // Tile: its author, post page and focal point.
    TileOrigin origin;
    // Tile: size in bytes of the encoded image.
    std::int32_t byteSize = 0;
    // Tile: its picture at its cell's size, made by the stretch the paint would make of the
    // natural picture; for a while after a rescale, still at the previous cell's size.
    std::optional<Surface> surface;
    // Tile: the look (chosenTileLook) its cell copy was made in.
    std::int32_t copyLook = 0;
    // Tile: kNewMarkSet when the latest placement pass put it into the grid, else 0.
    std::int32_t newMark = 0;
    // Tile: the encoded image bytes exactly as downloaded or read from disk. The natural-size
    // picture is decoded from them when it is needed (naturalPicture).
    SharedBytes imageBytes;
    // Tile: 1 = ordinary tile a new image may replace, 0 = pinned (or still queued).
    std::int32_t replaceable = 0;
    // Selection copy: 1 while the tile's context menu is open.
    std::int32_t shown = 0;
    // Group: its tiles. Tile: exactly one image canvas.
    CanvasList children;
    // Tile: a number no other tile of this run has, given when its picture is set (0 before).
    std::uint64_t serial = 0;
    // Tile: pictureHash of its picture, where it was made from one.
    std::optional<std::uint64_t> pictureHash;
    // Tile: taken off the wall by the user; drawn as an empty cell until the next pass that
    // holds appMutex drops it (grid) or leaves it out of the placement (queue).
    bool withdrawn = false;
};

// A canvas standing in the grid or in the queue.
using Tile = Canvas;

// The address of the tile's full-size picture, as the copy command "オリジナルURLコピー"
// gives it: the address its source recorded, else the name with ":orig".
inline std::string originalAddressOf(const Tile& tile) {
    return tile.originalUrl.empty() ? tile.name + ":orig" : tile.originalUrl;
}

inline bool isAcceptableCanvasName(std::string_view name) {
    return name.size() <= kMaxCanvasNameBytes;
}

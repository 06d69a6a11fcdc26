#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "mosaic/raster/surface.h"
#include "mosaic/wall/canvas.h"

inline constexpr std::int32_t kGridColumns = 10;
inline constexpr std::int32_t kGridRows = 5;
inline constexpr std::int32_t kGridCells = kGridColumns * kGridRows;

// A line of the pinned-tile list whose image could not be loaded at start-up. It is written
// back with every list rewrite, so the pin comes back once its file does.
struct DormantPin {
    std::string name;
    std::int32_t column = 0;
    std::int32_t row = 0;
    std::string originalUrl;
    TileOrigin origin;
};

// The process-wide state of the wall. The grid and the queue are guarded by appMutex; the
// grid itself is only changed on the user-interface thread. The search switches are the search
// side's (search_state.h).
struct AppState {
    // The group canvases "main" (the grid) and "sub" (the queue).
    CanvasList rootCanvases;

    std::int32_t tileWidth = 150;
    std::int32_t tileHeight = 150;
    // tileWidth and tileHeight (width in the high half) as last set on the user-interface
    // thread, for the search worker, which makes queued tiles' cell copies at that size.
    std::atomic<std::uint64_t> publishedCellSize{(std::uint64_t{150} << 32) | 150};
    std::int32_t cursorColumn = -1;
    std::int32_t cursorRow = 0;
    // Changed by pin toggles on the user-interface thread while a worker reads it for the
    // search count, without the mutex.
    std::atomic<std::int32_t> replaceableCount{kGridCells};

    Surface backBuffer;
    std::int32_t backBufferWidth = 1500;
    std::int32_t backBufferHeight = 750;

    Surface newImageMark;
    Surface pinnedMark;
    Surface selectionMark;

    // At most one canvas: the copy of the tile right-clicked last.
    CanvasList selection;

    std::vector<DormantPin> dormantPins;

    // Folder that "txts" and "kotei_tiles" are relative to.
    std::filesystem::path workingRoot = ".";

    // Numbers of retired pinned files.
    std::mt19937 random{std::random_device{}()};

    // 1 from the end of a cycle that queued tiles until the paint that places them.
    std::atomic<int> tilesPending{0};
    std::mutex appMutex;
};

AppState& appState();

#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "mosaic/canvas.h"
#include "mosaic/surface.h"

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
};

// The process-wide state of the mosaic. The grid and the queue are guarded by appMutex; the
// grid itself is only changed on the user-interface thread.
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

    std::atomic<int> searchEnabled{1};
    std::atomic<int> tilesPending{0};
    // Set once by the exit command before it waits for the worker: the cycle stops between
    // links, downloads and exchanges give up, and nothing more is queued.
    std::atomic<bool> exitRequested{false};
    std::mutex appMutex;
};

AppState& appState();

void requestExit();
bool exitWasRequested();

// Puts every field back to its initial value and drops all canvases (tests; shutdown). Does
// not touch the mutex or the shell hooks.
void resetAppState();

// What the window shell does for the core. Empty hooks do nothing.
struct ShellHooks {
    // Invalidate the whole client area without erasing; may be called from the search worker.
    std::function<void()> requestRepaint;
    // The message box "エラー" / "固定ファイル保存失敗" owned by the main window.
    std::function<void()> showPinnedSaveError;
    // The message that the server refuses its timeline without an access_token; called from
    // the search worker, so the shell hands it to the user-interface thread.
    std::function<void()> showTimelineRefusal = {};
};

// Installed once at start-up, before the first worker exists.
void setShellHooks(ShellHooks hooks);

void requestRepaint();
void showPinnedSaveError();
void showTimelineRefusal();

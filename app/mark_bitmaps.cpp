#include "app/mark_bitmaps.h"

#include <cstdint>
#include <vector>

#include "app/bitmap_info.h"
#include "app/win_handles.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/marks.h"
#include "resources/resource.h"

namespace {

Surface loadedOrMade(HMODULE module, int id, std::uint32_t frame, std::uint32_t key) {
    std::optional<Surface> loaded = surfaceFromBitmapResource(module, id);
    if (loaded && loaded->width == kMarkSize && loaded->height == kMarkSize) {
        return std::move(*loaded);
    }
    return makeMarkSurface(frame, key);
}

}  // namespace

std::optional<Surface> surfaceFromBitmapResource(HMODULE module, int id) {
    const UniqueBitmap bitmap(static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) {
        return std::nullopt;
    }
    BITMAP description{};
    if (GetObjectW(bitmap.get(), sizeof description, &description) == 0 ||
        description.bmWidth <= 0 || description.bmHeight <= 0) {
        return std::nullopt;
    }
    const std::int32_t width = description.bmWidth;
    const std::int32_t height = description.bmHeight;
    BITMAPINFO request = topDownBitmapInfo(width, height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const ScreenDc screen(GetDC(nullptr));
    if (GetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &request,
                  DIB_RGB_COLORS) != height) {
        return std::nullopt;
    }
    for (std::uint32_t& pixel : pixels) {
        pixel &= 0x00FFFFFFu;
    }
    Surface surface = Surface::fromPixels(width, height, std::move(pixels));
    if (surface.empty()) {
        return std::nullopt;
    }
    return surface;
}

void loadMarkSurfaces(HMODULE module) {
    AppState& state = appState();
    state.newImageMark = loadedOrMade(module, IDB_NEW_IMAGE_MARK, kNewImageFrame, kNewImageKey);
    state.pinnedMark = loadedOrMade(module, IDB_PINNED_MARK, kPinnedFrame, kPinnedKey);
    state.selectionMark = loadedOrMade(module, IDB_SELECTION_MARK, kSelectionFrame, kSelectionKey);
}

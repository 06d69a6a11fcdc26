#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstring>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoder.h"

namespace {

// Initialises COM on the calling thread for the duration of one decoding; a thread that
// already has COM in another mode is used as it is.
class ComScope {
  public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_;
};

template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (raw_) {
            raw_->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* get() const { return raw_; }
    Interface* operator->() const { return raw_; }
    Interface** out() { return &raw_; }
    explicit operator bool() const { return raw_ != nullptr; }

  private:
    Interface* raw_ = nullptr;
};

struct ScreenContext {
    HDC dc = GetDC(nullptr);
    ~ScreenContext() {
        if (dc) {
            ReleaseDC(nullptr, dc);
        }
    }
    ScreenContext() = default;
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;
};

// A movable global block holding a copy of bytes, as the stream over it needs.
HGLOBAL copyToGlobalBlock(std::span<const std::uint8_t> bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!block) {
        return nullptr;
    }
    void* target = GlobalLock(block);
    if (!target) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

std::optional<Surface> copyBitmap(HBITMAP bitmap, std::uint64_t maxPixels) {
    BITMAP description{};
    if (GetObjectW(bitmap, sizeof(description), &description) == 0 ||
        !pictureSizeAcceptable(description.bmWidth, description.bmHeight, maxPixels)) {
        return std::nullopt;
    }
    const std::int32_t width = description.bmWidth;
    const std::int32_t height = description.bmHeight;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    Surface picture = Surface::uninitialised(width, height);
    ScreenContext screen;
    if (picture.empty() || !screen.dc ||
        GetDIBits(screen.dc, bitmap, 0, static_cast<UINT>(height), picture.pixels.data(), &info,
                  DIB_RGB_COLORS) != height) {
        return std::nullopt;
    }
    // The fourth byte of a 32-bit DIB is not defined to be zero.
    for (auto& pixel : picture.pixels) {
        pixel &= 0x00FFFFFFu;
    }
    return picture;
}

}  // namespace

std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels) {
    if (bytes.empty() || bytes.size() > kMaxImageBytes) {
        return std::nullopt;
    }
    // The decoder allocates the whole picture itself, so the size is checked from the JPEG
    // header before it sees the bytes; bytes whose size cannot be read that way (other
    // formats among them), and files of too many scans, never reach it.
    if (!pictureAllowedForDecoding(bytes, maxPixels)) {
        return std::nullopt;
    }
    ComScope com;
    HGLOBAL block = copyToGlobalBlock(bytes);
    if (!block) {
        return std::nullopt;
    }
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.out()))) {
        GlobalFree(block);
        return std::nullopt;
    }
    ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.out()))) ||
        !picture) {
        return std::nullopt;
    }
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture->get_Handle(&handle)) || handle == 0) {
        return std::nullopt;
    }
    return copyBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), maxPixels);
}

std::optional<ScaledPicture> decodePictureScaled(std::span<const std::uint8_t> bytes,
                                                 std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    // The platform decoder hands over the whole picture; it is stretched and let go at once.
    std::optional<Surface> natural = decodePicture(bytes);
    if (!natural) {
        return std::nullopt;
    }
    ScaledPicture scaled{Surface::uninitialised(width, height),
                         PictureSize{natural->width, natural->height}};
    stretchSurface(*natural, natural->bounds(), scaled.picture, scaled.picture.bounds());
    return scaled;
}

#include "mosaic/raster/frame_surface.h"

#include <new>
#include <stdexcept>

#include "mosaic/raster/image_limits.h"

Surface frameSurface(std::int32_t width, std::int32_t height) {
    if (!pictureSizeAcceptable(width, height)) {
        return Surface{};
    }
    try {
        return Surface::filled(width, height);
    } catch (const std::bad_alloc&) {
        return Surface{};
    } catch (const std::length_error&) {
        return Surface{};
    }
}

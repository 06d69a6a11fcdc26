#pragma once

// Pictures and walls shared by the benchmarks: photo-like JPEGs made in memory, and a full
// wall of 50 tiles built the way the search cycle builds it.

#include <cstdint>
#include <vector>

#include "mosaic/raster/surface.h"

namespace bench {

inline constexpr std::int32_t kClientWidth = 1920;
inline constexpr std::int32_t kClientHeight = 1080;

// A width × height JPEG (quality 85) of smooth shapes with grain, which compresses about as
// well as a photograph does.
std::vector<std::uint8_t> photoJpeg(int width, int height, unsigned seed = 1);

// The same kind of picture as a PNG or a WebP (lossy at quality 95, or lossless).
enum class PhotoFormat { png, lossyWebp, losslessWebp };
std::vector<std::uint8_t> photo(PhotoFormat format, int width, int height);

// The JPEG of that size, made once per run.
const std::vector<std::uint8_t>& cachedPhotoJpeg(int width, int height);

// Empties the mosaic and makes the group canvases, the marks and a 1920 × 1080 grid.
void resetWall();

// Fills all 50 cells as a search cycle and a placement pass would: each tile queued from the
// decoded picture with its own copy of the bytes. Every fifth tile keeps its red frame.
void fillWall(int width, int height);

// Resident memory of the process and bytes the allocator has handed out, in bytes.
std::int64_t residentBytes();
std::int64_t allocatedBytes();

}  // namespace bench

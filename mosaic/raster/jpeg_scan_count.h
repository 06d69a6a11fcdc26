#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// A progressive JPEG may hold any number of scans, and a decoder makes one pass over the
// whole picture's coefficients for each, data or not: a few kilobytes of empty scan headers
// over a large frame hold a decoder for minutes. Cameras and encoders write at most a few
// dozen scans (libjpeg's progressive script has 10), so files past this bound are refused
// before any decoder sees them.
inline constexpr std::size_t kMaxJpegScans = 100;

// An upper bound on the scans any decoder can find in bytes: every start-of-scan marker
// (0xFF 0xDA) in them, wherever it stands. A decoder reads a marker only where an 0xFF byte
// is followed by its code, so it cannot see more scans than this whatever the segment
// lengths, stray bytes or fill bytes claim; a false count can only come from those two bytes
// inside metadata, which real files hold a handful of times at most. Counting stops once it
// passes limit, so the cost is one pass at most.
std::size_t countJpegScans(std::span<const std::uint8_t> bytes, std::size_t limit = kMaxJpegScans);

// Whether a decoder may be given bytes with that many scans.
inline bool jpegScanCountAcceptable(std::span<const std::uint8_t> bytes) {
    return countJpegScans(bytes) <= kMaxJpegScans;
}

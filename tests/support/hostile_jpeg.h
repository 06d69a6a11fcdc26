#pragma once

#include <cstdint>
#include <vector>

namespace testjpeg {

// A progressive JPEG header for a width × height colour frame followed by `scans` scan
// headers that carry no data at all: a decoder still walks the whole frame once per scan.
// Made by tools/fakeservice/hostile_jpeg.py, the one maker of such files; throws when
// that cannot run.
std::vector<std::uint8_t> emptyScans(int width, int height, int scans);

}  // namespace testjpeg

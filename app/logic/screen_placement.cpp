#include "app/logic/screen_placement.h"

#include <algorithm>
#include <limits>

namespace {

// 64-bit arithmetic: stored sizes and monitor corners may lie anywhere in 32 bits.
std::int32_t centredStart(std::int32_t screenStart, std::int32_t screenEnd, std::int32_t length) {
    const std::int64_t room = std::int64_t{screenEnd} - screenStart - length;
    const std::int64_t start = std::int64_t{screenStart} + std::max<std::int64_t>(room / 2, 0);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        start, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Point centredOrigin(Rect screen, std::int32_t width, std::int32_t height) {
    return Point{centredStart(screen.left, screen.right, width),
                 centredStart(screen.top, screen.bottom, height)};
}

std::int32_t usableWindowExtent(std::int32_t stored) {
    return std::max(stored, kSmallestWindowExtent);
}

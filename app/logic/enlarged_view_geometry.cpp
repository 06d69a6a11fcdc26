#include "app/logic/enlarged_view_geometry.h"

#include <algorithm>

Rect recordedEnlargedRect(Rect window, ScreenOrigin screen) {
    return Rect{std::max(window.left, screen.left), std::max(window.top, screen.top), window.right,
                window.bottom};
}

EnlargedPlacement keepEnlargedSize(Rect outer, std::int32_t width, std::int32_t height,
                                   ScreenOrigin screen) {
    const Rect window{outer.right - width, outer.bottom - height, outer.right, outer.bottom};
    return EnlargedPlacement{window, recordedEnlargedRect(window, screen)};
}

Rect visibleEnlargedPart(const Surface& copy, Rect recorded, std::int32_t width,
                         std::int32_t height) {
    if (copy.empty() || recorded.width() <= 0 || recorded.height() <= 0) {
        return Rect{};
    }
    const Rect part = rectOfSize(width - recorded.width(), height - recorded.height(),
                                 recorded.width(), recorded.height());
    const Rect clipped{std::max(part.left, 0), std::max(part.top, 0),
                       std::min(part.right, copy.width), std::min(part.bottom, copy.height)};
    return clipped.width() > 0 && clipped.height() > 0 ? clipped : Rect{};
}

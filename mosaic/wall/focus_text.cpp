#include "mosaic/wall/focus_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace {

std::optional<float> parseCoordinate(std::string_view text) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value < -1.0f || value > 1.0f) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string focusCoordinateText(float value) {
    std::array<char, 32> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? std::string(text.data(), end) : std::string();
}

std::optional<std::pair<float, float>> parseFocus(std::string_view x, std::string_view y) {
    const auto fx = parseCoordinate(x);
    const auto fy = parseCoordinate(y);
    if (!fx || !fy) {
        return std::nullopt;
    }
    return std::pair{*fx, *fy};
}

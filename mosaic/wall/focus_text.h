#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

// A focal point in the wall's own files: each coordinate as the shortest text that reads back
// to the same float.
std::string focusCoordinateText(float value);

// The focal point those two texts give; none unless both are finite numbers in [-1, 1].
std::optional<std::pair<float, float>> parseFocus(std::string_view x, std::string_view y);

#pragma once

#include <cstdint>
#include <span>

enum class PictureFormat { unknown, jpeg, png, webp };

// The format the bytes announce by their opening signature, whatever name they were served
// under: a JPEG start-of-image marker, the PNG signature, or a RIFF container of type WEBP.
PictureFormat pictureFormatOf(std::span<const std::uint8_t> bytes);

#include "mosaic/search/image_download.h"

#include <span>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoder.h"

DownloadResult downloadImageFrom(const std::string& address, const std::string& userAgent) {
    DownloadResult result;
    FetchedBody body = fetchUrlBody(address, kMaxImageBytes, userAgent);
    if (!body.opened || body.overLimit) {
        return result;
    }
    result.ok = true;
    result.bytes = std::move(body.bytes);
    if (!result.bytes.empty()) {
        result.picture = decodePicture(std::span<const std::uint8_t>(result.bytes));
    }
    return result;
}

#include "mosaic/image_download.h"

#include <span>

#include "mosaic/image_limits.h"
#include "mosaic/picture_decoder.h"
#include "settings/option_store.h"

std::string imageRequestUrl(const std::string& url, bool original) {
    return original ? url + ":orig" : url;
}

DownloadResult downloadImage(const std::string& url) {
    return downloadImageFrom(imageRequestUrl(url, optionOr("original", 0) == 1));
}

DownloadResult downloadImageFrom(const std::string& address) {
    DownloadResult result;
    FetchedBody body = fetchUrlBody(address, kMaxImageBytes);
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

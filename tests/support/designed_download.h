#pragma once

#include <string>

#include "mosaic/search/designed_search.h"
#include "mosaic/search/image_download.h"
#include "settings/option_store.h"

// The download a designed-service link gets: with ":orig" appended when the option
// "original" is 1.
inline DownloadResult downloadImage(const std::string& url) {
    return downloadImageFrom(imageRequestUrl(url, optionIsOn(OptionKey::OriginalImages)));
}

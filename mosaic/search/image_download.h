#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mosaic/raster/surface.h"

// What one image download gives back. ok is false when the address could not be opened
// (or the body grew past kMaxImageBytes, or the download outlasted its deadline); then
// bytes and picture are empty. With ok true, bytes are the body exactly as served (possibly
// none) and picture is its decoding, or none when the body is not a picture.
struct DownloadResult {
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::optional<Surface> picture;
};

// How the designed program names itself to image hosts.
inline constexpr const char* kDesignedImageAgent = "NETINET Sample Program";

// Downloads and decodes the image at exactly this address, naming the program as userAgent.
// Called on the search worker; every call uses its own connection.
DownloadResult downloadImageFrom(const std::string& address,
                                 const std::string& userAgent = kDesignedImageAgent);

// Body of one URL fetched through the platform's download service.
struct FetchedBody {
    bool opened = false;     // the address could be opened; the body below is what arrived
    bool overLimit = false;  // the body grew past the limit and the transfer was stopped
    std::vector<std::uint8_t> bytes;
};

// Platform seam: fetches url as userAgent, whatever its HTTP status, stopping once more than
// byteLimit bytes have arrived. A read error in mid-transfer keeps the bytes read so far; a
// transfer still going MaxExchangeDuration() after it began is not opened and keeps nothing.
FetchedBody fetchUrlBody(const std::string& url, std::size_t byteLimit,
                         const std::string& userAgent = kDesignedImageAgent);

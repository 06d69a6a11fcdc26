#pragma once

// The search through Flickr's public photo feed by tags
// (GET /services/feeds/photos_public.gne), read without an account.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "http/service_config.h"
#include "mosaic/search/image_source.h"
#include "mosaic/search/source_reply.h"

inline constexpr std::string_view kFlickrDefaultServer = "https://api.flickr.com";
// The feed changes no more often than this.
inline constexpr std::chrono::seconds kFlickrMinInterval{60};

// "/services/feeds/photos_public.gne?tags=<words joined by ",">&tagmode=any&format=json&
// nojsoncallback=1" with each word percent-encoded. Empty when the keyword names no tag.
std::string flickrFeedPath(std::string_view keywordUtf8);

// Reads a feed reply, taking its \' escapes as the apostrophes they mean. Takes each item
// whose media.m is a usable address ending in "_m.jpg": the tile is the same address ending
// in "_z.jpg" (or "_b.jpg" when original), the original the one ending in "_b.jpg". The
// author is the name in the item's author field (its author_id when none), the post page
// its link. Empty when the body is no JSON object.
std::vector<ImageLink> readFlickrFeed(std::string_view body, bool original);

// One search (a rate-limit pause or refusal as for every source).
std::vector<ImageLink> fetchFlickrLinks(SourceRequestState& state,
                                        const HashtagTimelineServices& services,
                                        const ServiceConfig& config, const std::string& keyword);

// The process's Flickr search, with the real client. Called by the search worker.
std::vector<ImageLink> flickrLinks(const std::string& keyword, std::int32_t postCount);

// The process's state (tests put it back).
SourceRequestState& flickrState();

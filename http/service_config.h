#pragma once

// Where the service lives, and with which application registration it is used.
//
// Built in: the real service at "https://api.twitter.com" (the authorisation page
// "/oauth/authorize" on the same host) and the program's own consumer key and secret.
// An optional file, normally ./txts/service.txt, overrides this at run time. One
// key=value per line; a CR before the line end is dropped, blank lines and lines
// starting with "#" are skipped, a line is split at its first "=", unknown keys are
// ignored, and a missing file, key or value keeps the built-in value:
//   service_url=https://host[:port]   scheme, host and optional port of the API host; only
//                                     https is taken, since every request carries the
//                                     access token
//   consumer_key=...                  the application's consumer key
//   consumer_secret=...               the application's consumer secret
//   ca_bundle=path/to/ca.pem          a PEM file of extra trusted roots, relative to the
//                                     working directory or absolute; added to the
//                                     system's roots
//   source=twitter|mastodon|misskey|flickr|bluesky
//                                     where the pictures come from ("twitter", or no
//                                     source, keeps the built-in service); without a
//                                     service_url Flickr uses https://api.flickr.com and
//                                     Bluesky https://public.api.bsky.app, the others the
//                                     built-in address
//   access_token=...                  sent as a bearer token to a server that does not show
//                                     its timelines anonymously (the hashtag timeline only)
//   show_sensitive=1                  also show pictures of posts marked sensitive

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kDefaultServiceUrl = "https://api.twitter.com";
// A configuration file larger than this is not read at all.
inline constexpr std::size_t kMaxServiceConfigBytes = 64 * 1024;
inline constexpr const char* kServiceConfigPath = "./txts/service.txt";
inline constexpr const char* kFlickrServiceUrl = "https://api.flickr.com";
inline constexpr const char* kBlueskyServiceUrl = "https://public.api.bsky.app";

enum class SearchSource {
    Designed,         // the built-in service's signed keyword search
    HashtagTimeline,  // a Mastodon-compatible server's public hashtag timeline
    MisskeyTag,       // a Misskey server's notes by tag
    FlickrFeed,       // Flickr's public photo feed by tags
    BlueskyFeed,      // a Bluesky account's posts or a custom feed
};

struct ServiceConfig {
    std::string serviceUrl = kDefaultServiceUrl;  // without a trailing '/'
    std::string consumerKey;                      // empty: the built-in registration
    std::string consumerSecret;                   // empty: the built-in registration
    std::string caBundle;                         // empty: the system's roots only
    SearchSource source = SearchSource::Designed;
    std::string accessToken;  // empty: the timeline is read anonymously
    bool showSensitive = false;

    bool operator==(const ServiceConfig&) const = default;
};

// The first line of text without its "\n" or "\r\n", taken off text.
std::string_view takeConfigLine(std::string_view& text);

// The value of source= that names the source ("twitter" for the built-in service).
std::string_view serviceSourceName(SearchSource source);

// The address a source uses when service_url names none: Flickr's and Bluesky's public
// hosts; the other sources have no public host of their own and fall back to the built-in.
std::string_view defaultServiceUrl(SearchSource source);

// Reads a configuration text; never fails (what it cannot use stays built-in).
ServiceConfig ParseServiceConfig(std::string_view text);

// Reads the file and makes it the process's configuration, passing a consumer
// registration it names on to the signer. False when the file could not be read; the
// configuration is then the built-in one.
bool loadServiceConfig(const std::string& path = kServiceConfigPath);

// Makes config the process's configuration (as loadServiceConfig does after reading).
void setServiceConfig(const ServiceConfig& config);

// A copy of the process's configuration.
ServiceConfig serviceConfig();

// Counts the configurations made current, so that what a source remembers between cycles
// can be dropped when another configuration has taken over.
std::uint64_t serviceConfigGeneration();

// The address of an endpoint on the API host: the service URL followed by path
// (which starts with '/').
std::string serviceUrl(std::string_view path);

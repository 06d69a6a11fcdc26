#include "mosaic/search/source_memory.h"

#include <cstdint>

#include "http/service_config.h"
#include "mosaic/search/bluesky_feed.h"
#include "mosaic/search/flickr_feed.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/misskey_notes.h"

void forgetSourceMemoryAfterChange() {
    static std::uint64_t seenGeneration = 0;
    const std::uint64_t generation = serviceConfigGeneration();
    if (generation == seenGeneration) {
        return;
    }
    seenGeneration = generation;
    hashtagTimelineState() = HashtagTimelineState{};
    misskeyState() = MisskeyState{};
    flickrState() = SourceRequestState{kFlickrMinInterval};
    blueskyState() = BlueskyState{};
}

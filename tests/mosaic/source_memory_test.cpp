#include <gtest/gtest.h>

#include "http/service_config.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/source_memory.h"

namespace {

TEST(ForgetSourceMemoryAfterChange, DropsTheNewestPostOnlyWhenAnotherConfigurationTookOver) {
    forgetSourceMemoryAfterChange();
    HashtagTimelineState& state = hashtagTimelineState();
    state.newestId = "1000";
    state.refusalShown = true;
    forgetSourceMemoryAfterChange();
    EXPECT_EQ(state.newestId, "1000") << "the same configuration keeps its memory";

    ServiceConfig config;
    config.source = SearchSource::HashtagTimeline;
    setServiceConfig(config);
    forgetSourceMemoryAfterChange();
    EXPECT_EQ(state.newestId, "");
    EXPECT_FALSE(state.refusalShown);
    setServiceConfig(ServiceConfig{});
    forgetSourceMemoryAfterChange();
}

}  // namespace

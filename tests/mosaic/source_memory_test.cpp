#include <gtest/gtest.h>

#include "http/service_config.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/misskey_notes.h"
#include "mosaic/search/source_memory.h"

namespace {

TEST(ForgetSourceMemoryAfterChange, DropsTheNewestPostOnlyWhenAnotherConfigurationTookOver) {
    forgetSourceMemoryAfterChange();
    HashtagTimelineState& state = hashtagTimelineState();
    state.newestId = "1000";
    state.pacing.refusalShown = true;
    misskeyState().newestId = "9";
    forgetSourceMemoryAfterChange();
    EXPECT_EQ(state.newestId, "1000") << "the same configuration keeps its memory";

    ServiceConfig config;
    config.source = SearchSource::HashtagTimeline;
    setServiceConfig(config);
    forgetSourceMemoryAfterChange();
    EXPECT_EQ(state.newestId, "");
    EXPECT_FALSE(state.pacing.refusalShown);
    EXPECT_EQ(misskeyState().newestId, "") << "every source starts afresh";
    setServiceConfig(ServiceConfig{});
    forgetSourceMemoryAfterChange();
}

}  // namespace

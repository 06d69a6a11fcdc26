#include "mosaic/search/wall_visibility.h"

#include <gtest/gtest.h>

#include "settings/wall_options.h"
#include "tests/support/app_state_reset.h"

namespace {

TEST(WallVisibility, EveryNotificationStateLockAndDisplayAndTheOptionDecide) {
    // QUERY_USER_NOTIFICATION_STATE 1 to 4 hide the desktop, 5 to 7 do not; 0 (could not
    // tell) and values no shell gives count as seen.
    const std::pair<int, bool> states[] = {{0, false},  {1, true},  {2, true},  {3, true},
                                           {4, true},   {5, false}, {6, false}, {7, false},
                                           {-1, false}, {99, false}};
    for (const auto& [state, unseen] : states) {
        SCOPED_TRACE(state);
        EXPECT_EQ(wallIsUnseen(WallSight{state, false, false}), unseen);
        EXPECT_TRUE(wallIsUnseen(WallSight{state, true, false}));
        EXPECT_TRUE(wallIsUnseen(WallSight{state, false, true}));
    }

    resetWallOptions();
    resetAppState();
    EXPECT_FALSE(searchRestsUnseen()) << "no shell to ask here: seen";
    noteSessionLocked(true);
    EXPECT_TRUE(searchRestsUnseen());
    noteSessionLocked(false);
    noteDisplayOff(true);
    EXPECT_TRUE(searchRestsUnseen());
    setWallOption(WallOption::PauseUnseen, 0);
    EXPECT_FALSE(searchRestsUnseen());
    resetWallOptions();
    resetAppState();
}

}  // namespace

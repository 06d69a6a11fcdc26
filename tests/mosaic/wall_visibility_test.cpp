#include "mosaic/search/wall_visibility.h"

#include <gtest/gtest.h>

#include "settings/wall_options.h"
#include "tests/support/app_state_reset.h"

namespace {

class WallVisibility : public ::testing::Test {
  protected:
    void SetUp() override {
        resetWallOptions();
        resetAppState();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(WallVisibility, OnlyFullScreenPresentationAbsenceLockOrADarkDisplayHideTheWall) {
    // QUERY_USER_NOTIFICATION_STATE: 1 not present, 2 busy (full screen), 3 Direct3D full
    // screen, 4 presentation, 5 accepts notifications, 6 quiet time, 7 a store app; 0 is
    // "could not tell" and the rest are values no shell gives.
    const struct {
        int state;
        bool unseen;
    } states[] = {{0, false}, {1, true},  {2, true},  {3, true},   {4, true},
                  {5, false}, {6, false}, {7, false}, {-1, false}, {99, false}};
    for (const auto& [state, unseen] : states) {
        SCOPED_TRACE(state);
        EXPECT_EQ(wallIsUnseen(WallSight{state, false, false}), unseen);
        EXPECT_TRUE(wallIsUnseen(WallSight{state, true, false}));
        EXPECT_TRUE(wallIsUnseen(WallSight{state, false, true}));
    }
}

TEST_F(WallVisibility, TheWallRestsOnlyWhilePauseUnseenIsOnAndASignalSaysUnseen) {
    // Without a shell to ask, the notification state is unknown: the wall counts as seen.
    EXPECT_EQ(userNotificationState(), 0);
    EXPECT_FALSE(searchRestsUnseen());
    noteSessionLocked(true);
    EXPECT_TRUE(searchRestsUnseen());
    noteSessionLocked(false);
    noteDisplayOff(true);
    EXPECT_TRUE(searchRestsUnseen());
    setWallOption(WallOption::PauseUnseen, 0);
    EXPECT_FALSE(searchRestsUnseen());
    setWallOption(WallOption::PauseUnseen, 1);
    noteDisplayOff(false);
    EXPECT_FALSE(searchRestsUnseen());
}

}  // namespace

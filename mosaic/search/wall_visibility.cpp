#include "mosaic/search/wall_visibility.h"

#include <atomic>

#include "settings/wall_options.h"

namespace {

// The values of QUERY_USER_NOTIFICATION_STATE that say nobody sees the desktop.
constexpr int kNobodyPresent = 1;
constexpr int kFullScreenBusy = 2;
constexpr int kDirect3DFullScreen = 3;
constexpr int kPresentationMode = 4;

std::atomic<bool> sessionLocked{false};
std::atomic<bool> displayOff{false};

}  // namespace

bool wallIsUnseen(const WallSight& sight) {
    switch (sight.notificationState) {
        case kNobodyPresent:
        case kFullScreenBusy:
        case kDirect3DFullScreen:
        case kPresentationMode:
            return true;
        default:
            return sight.sessionLocked || sight.displayOff;
    }
}

void noteSessionLocked(bool locked) {
    sessionLocked = locked;
}

void noteDisplayOff(bool off) {
    displayOff = off;
}

bool searchRestsUnseen() {
    if (!wallOptionIsOn(WallOption::PauseUnseen)) {
        return false;
    }
    // The cheap flags first: the shell is only asked when they leave the answer open.
    if (sessionLocked.load() || displayOff.load()) {
        return true;
    }
    return wallIsUnseen(WallSight{userNotificationState(), false, false});
}

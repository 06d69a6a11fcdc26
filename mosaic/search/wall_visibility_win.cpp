#include "mosaic/search/wall_visibility.h"

#include <windows.h>

#include <shellapi.h>

int userNotificationState() {
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) {
        return 0;
    }
    return static_cast<int>(state);
}

#include "mosaic/search/wall_visibility.h"

// No shell to ask: the wall counts as seen unless the session or display flags say otherwise.
int userNotificationState() {
    return 0;
}

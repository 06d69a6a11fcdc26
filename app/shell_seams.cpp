#include "app/shell_seams.h"

#include "mosaic/pinned_tiles.h"
#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"

void loadPinnedTilesAtStartup() {
    loadPinnedTiles(pinnedListPath());
}

void ensureCredentials(HINSTANCE) {
    // Until the credential file is read here, searches go out with the registration alone
    // and the service refuses them; the next tick simply tries again.
    publishCredentials(OAuthCredentials{consumerKey(), consumerSecret(), {}, {}});
}

bool handleMenuCommand(HWND, WORD) {
    return false;
}

void openEnlargedViewAt(HWND, int, int) {}

#include "app/shell_seams.h"

#include "app/enlarged_view.h"
#include "app/first_start_authorisation.h"
#include "app/shell_state.h"
#include "http/service_config.h"
#include "mosaic/wall/pinned_tiles.h"
#include "oauth/consumer_registration.h"
#include "oauth/credential_file.h"
#include "oauth/oauth_credentials.h"

void loadPinnedTilesAtStartup() {
    loadPinnedTiles(pinnedListPath());
}

void runPinAuthorisation(HINSTANCE) {
    authoriseFirstStart(shellState().mainWindow);
}

void ensureCredentials(HINSTANCE instance) {
    // Only the designed service signs its requests: the other sources need no token and no PIN.
    if (serviceConfig().source != SearchSource::Designed) {
        return;
    }
    if (!LoadCredentialFile()) {
        runPinAuthorisation(instance);
        // Without a granted pair the program runs on; its searches are then refused.
        LoadCredentialFile();
    }
    publishCredentials(
        OAuthCredentials{consumerKey(), consumerSecret(), loadedToken, loadedTokenSecret});
}

void openEnlargedViewAt(HWND window, int x, int y) {
    openEnlargedView(window, x, y);
}

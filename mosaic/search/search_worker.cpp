#include "mosaic/search/search_worker.h"

#include <mutex>

#include "http/io_cancel.h"
#include "mosaic/search/search_state.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"

void runSearchWorker(const SearchCycleServices& services) {
    AppState& state = appState();
    // Lets every exchange and download of the cycle see the exit command.
    SetCancelCheck(&exitWasRequested);
    int result = 0;
    {
        std::lock_guard<std::mutex> hold(state.appMutex);
        releaseQueue();
        result = runSearchCycle(services);
    }
    state.tilesPending = result;
    requestRepaint();
}

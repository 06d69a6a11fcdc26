#include "mosaic/search_worker.h"

#include <mutex>

#include "mosaic/app_state.h"
#include "mosaic/tile_grid.h"

void runSearchWorker(const SearchCycleServices& services) {
    AppState& state = appState();
    int result = 0;
    {
        std::lock_guard<std::mutex> hold(state.appMutex);
        releaseQueue();
        result = runSearchCycle(services);
    }
    state.tilesPending = result;
    requestRepaint();
}

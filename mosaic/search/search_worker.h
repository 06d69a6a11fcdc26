#pragma once

#include "mosaic/search/search_cycle.h"

// Body of the search worker thread: empties the queue and runs one cycle under the
// application mutex, then publishes the result in tilesPending and asks the shell to
// repaint. The shell creates the thread and runs this on it.
void runSearchWorker(const SearchCycleServices& services);

#pragma once

#include <optional>

#include "mosaic/search/search_cycle.h"

// The search cycles run one after another on one long-lived worker thread, which the first
// cycle starts. A thread of its own for every cycle would leave the TLS library's per-thread
// state behind each time: a statically linked build never gets to release it.

// Timer tick (user-interface thread): has the worker run one cycle (runSearchWorker), but only
// while searching is enabled, no result waits for placement, the previous cycle has ended, no
// exit was asked for and the wall is not resting unseen (wall_visibility.h). A tick that finds a
// cycle still running starts nothing and is not caught up later. Without services the cycle uses
// the real ones, made on the worker. Returns whether a cycle was started.
bool startSearchCycleWhenIdle(std::optional<SearchCycleServices> services = std::nullopt);

// The real services, and the one place that chooses them: the source that
// ./txts/service.txt names (the built-in service's signed search by default) and the image
// download.
SearchCycleServices defaultSearchCycleServices();

// Whether a cycle was started and has not ended yet.
bool searchCycleRunning();

// Exit command and shutdown: waits without a time limit for the cycle running, if any (after
// requestExit it ends early), then ends the worker thread. The next cycle started, if any
// (tests), starts the thread again.
void stopSearchWorker();

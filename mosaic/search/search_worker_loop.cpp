#include "mosaic/search/search_worker_loop.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "http/program_version.h"
#include "http/service_config.h"
#include "http/service_operations.h"
#include "mosaic/search/bluesky_feed.h"
#include "mosaic/search/flickr_feed.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/misskey_notes.h"
#include "mosaic/search/search_state.h"
#include "mosaic/search/search_worker.h"
#include "mosaic/search/source_memory.h"
#include "mosaic/search/wall_visibility.h"
#include "mosaic/wall/app_state.h"

namespace {

struct WorkerLoop {
    std::mutex lock;
    std::condition_variable wake;
    // From the tick that starts a cycle until that cycle has ended.
    bool cycleStarted = false;
    bool stopping = false;
    // Empty: the real services, made on the worker.
    std::optional<SearchCycleServices> services;
    std::thread thread;

    // Lets the cycle running end, then the thread; leaves stopping set.
    void endThread() {
        std::thread ending;
        {
            const std::lock_guard hold(lock);
            stopping = true;
            ending.swap(thread);
        }
        wake.notify_all();
        if (ending.joinable()) {
            ending.join();
        }
    }

    // Only reached when a test binary ends without stopping the worker.
    ~WorkerLoop() { endThread(); }
};

WorkerLoop& workerLoop() {
    static WorkerLoop loop;
    return loop;
}

void serveSearchCycles() {
    WorkerLoop& loop = workerLoop();
    std::unique_lock hold(loop.lock);
    for (;;) {
        loop.wake.wait(hold, [&] { return loop.cycleStarted || loop.stopping; });
        if (!loop.cycleStarted) {
            return;
        }
        const std::optional<SearchCycleServices> services = std::exchange(loop.services, {});
        hold.unlock();
        try {
            forgetSourceMemoryAfterChange();
            runSearchWorker(services ? *services : defaultSearchCycleServices());
        } catch (...) {
            // A cycle that failed half-way queued nothing that a paint could place; the next
            // tick tries again.
        }
        hold.lock();
        loop.cycleStarted = false;
    }
}

}  // namespace

SearchCycleServices defaultSearchCycleServices() {
    SearchCycleServices services{
        [](std::vector<char>& body, std::string keyword, std::string count) {
            return SearchTweets(body, std::move(keyword), std::move(count));
        },
        [](const std::string& address) { return downloadImageFrom(address); },
        {},
    };
    switch (serviceConfig().source) {
        case SearchSource::Designed:
            break;
        case SearchSource::HashtagTimeline:
            services.links = hashtagTimelineLinks;
            break;
        case SearchSource::MisskeyTag:
            services.links = misskeyLinks;
            break;
        case SearchSource::FlickrFeed:
            services.links = flickrLinks;
            break;
        case SearchSource::BlueskyFeed:
            services.links = blueskyLinks;
            break;
    }
    // The designed service's image hosts keep seeing the designed name; every other source's
    // hosts see the program's own.
    if (serviceConfig().source != SearchSource::Designed) {
        services.download = [](const std::string& address) {
            return downloadImageFrom(address, kProgramUserAgent);
        };
    }
    return services;
}

bool startSearchCycleWhenIdle(std::optional<SearchCycleServices> services) {
    const AppState& state = appState();
    if (!searchIsEnabled() || state.tilesPending.load() != 0 || exitWasRequested() ||
        searchRestsUnseen()) {
        return false;
    }
    WorkerLoop& loop = workerLoop();
    {
        const std::lock_guard hold(loop.lock);
        if (loop.cycleStarted || loop.stopping) {
            return false;
        }
        if (!loop.thread.joinable()) {
            try {
                loop.thread = std::thread(serveSearchCycles);
            } catch (const std::system_error&) {
                // No thread this time (the system is out of them); the next tick tries again.
                return false;
            }
        }
        loop.services = std::move(services);
        loop.cycleStarted = true;
    }
    loop.wake.notify_one();
    return true;
}

bool searchCycleRunning() {
    WorkerLoop& loop = workerLoop();
    const std::lock_guard hold(loop.lock);
    return loop.cycleStarted;
}

void stopSearchWorker() {
    WorkerLoop& loop = workerLoop();
    loop.endThread();
    const std::lock_guard hold(loop.lock);
    loop.stopping = false;
}

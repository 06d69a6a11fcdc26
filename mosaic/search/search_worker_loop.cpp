#include "mosaic/search/search_worker_loop.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "http/service_config.h"
#include "http/service_operations.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/search_state.h"
#include "mosaic/search/search_worker.h"
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
    if (serviceConfig().source == SearchSource::HashtagTimeline) {
        services.links = [](const std::string& keyword, std::int32_t postCount) {
            return hashtagTimelineLinks(keyword, postCount);
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

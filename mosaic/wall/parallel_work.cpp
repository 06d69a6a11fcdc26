#include "mosaic/wall/parallel_work.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void runInParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto runSome = [&] {
        for (std::size_t index = next++; index < count; index = next++) {
            work(index);
        }
    };
    const std::size_t helpers =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), count);
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < helpers; ++i) {
        threads.emplace_back(runSome);
    }
    runSome();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

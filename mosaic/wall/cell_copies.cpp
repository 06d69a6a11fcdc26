#include "mosaic/wall/cell_copies.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <thread>
#include <vector>

#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/thread_priority.h"
#include "mosaic/wall/tile_grid.h"
#include "mosaic/wall/tile_look.h"

namespace {

struct CopyJob {
    std::uint64_t serial = 0;
    std::uint64_t generation = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t look = 0;
    CellLook cellLook;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

struct FinishedCopy {
    std::uint64_t serial = 0;
    std::uint64_t generation = 0;
    std::int32_t look = 0;
    Surface copy;
};

struct AskedCopy {
    std::uint64_t generation = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t look = 0;
    bool operator==(const AskedCopy&) const = default;
};

void makeCopies();

struct CopyWork {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<CopyJob> queued;
    std::vector<FinishedCopy> finished;
    std::vector<std::thread> threads;
    std::size_t making = 0;
    std::uint64_t generation = 0;
    bool stopping = false;
    bool repaintAsked = false;
    std::function<void()> gate;
    // User-interface thread only: what each tile's copy was last asked for.
    std::map<std::uint64_t, AskedCopy> asked;

    ~CopyWork() { stopCellCopies(); }
};

CopyWork& copyWork() {
    static CopyWork work;
    return work;
}

std::size_t copyThreadLimit() {
    return std::max(1u, std::thread::hardware_concurrency());
}

bool copyFitsCell(const Tile& tile, std::int32_t look) {
    return tile.surface && tile.surface->width == tile.rect.width() &&
           tile.surface->height == tile.rect.height() && tile.copyLook == look;
}

void makeCopies() {
    lowerThisThreadPriority();
    CopyWork& work = copyWork();
    std::unique_lock<std::mutex> hold(work.lock);
    for (;;) {
        work.changed.wait(hold, [&] { return work.stopping || !work.queued.empty(); });
        if (work.stopping) {
            return;
        }
        CopyJob job = std::move(work.queued.front());
        work.queued.pop_front();
        ++work.making;
        const std::function<void()> gate = work.gate;
        hold.unlock();
        if (gate) {
            gate();
        }

        std::optional<ScaledPicture> scaled =
            decodePictureScaled(std::span<const std::uint8_t>(job.bytes->data(), job.bytes->size()),
                                job.width, job.height, job.cellLook);
        job.bytes.reset();

        hold.lock();
        --work.making;
        bool askRepaint = false;
        if (scaled && job.generation == work.generation) {
            work.finished.push_back(
                FinishedCopy{job.serial, job.generation, job.look, std::move(scaled->picture)});
            askRepaint = !work.repaintAsked;
            work.repaintAsked = true;
        }
        work.changed.notify_all();
        if (askRepaint) {
            hold.unlock();
            requestRepaint();
            hold.lock();
        }
    }
}

}  // namespace

void requestCellCopies() {
    CopyWork& work = copyWork();
    CanvasList* grid = gridTiles();
    std::vector<CopyJob> jobs;
    std::set<std::uint64_t> inGrid;
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> hold(work.lock);
        generation = work.generation;
    }
    const std::int32_t look = chosenTileLook();
    if (grid != nullptr) {
        for (Tile& tile : *grid) {
            if (tile.serial == 0) {
                tile.serial = nextTileSerial();
            }
            inGrid.insert(tile.serial);
            if (tile.imageBytes.empty() || tile.rect.width() < 1 || tile.rect.height() < 1 ||
                !cellCopySizeAcceptable(tile.rect.width(), tile.rect.height()) ||
                copyFitsCell(tile, look)) {
                continue;
            }
            const AskedCopy wanted{generation, tile.rect.width(), tile.rect.height(), look};
            auto asked = work.asked.find(tile.serial);
            if (asked != work.asked.end() && asked->second == wanted) {
                continue;
            }
            work.asked[tile.serial] = wanted;
            jobs.push_back(CopyJob{tile.serial, generation, wanted.width, wanted.height, look,
                                   cellLookOf(look, tile.origin), tile.imageBytes.share()});
        }
    }
    std::erase_if(work.asked, [&](const auto& entry) { return !inGrid.contains(entry.first); });

    std::lock_guard<std::mutex> hold(work.lock);
    std::erase_if(work.queued, [&](const CopyJob& job) { return !inGrid.contains(job.serial); });
    for (CopyJob& job : jobs) {
        work.queued.push_back(std::move(job));
    }
    while (work.threads.size() < std::min(copyThreadLimit(), work.queued.size() + work.making)) {
        work.threads.emplace_back(makeCopies);
    }
    work.changed.notify_all();
}

void supersedeCellCopies() {
    CopyWork& work = copyWork();
    std::lock_guard<std::mutex> hold(work.lock);
    ++work.generation;
    work.queued.clear();
    work.finished.clear();
}

void installCellCopies() {
    CopyWork& work = copyWork();
    std::vector<FinishedCopy> finished;
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> hold(work.lock);
        finished.swap(work.finished);
        work.repaintAsked = false;
        generation = work.generation;
    }
    CanvasList* grid = gridTiles();
    if (grid == nullptr || finished.empty()) {
        return;
    }
    const std::int32_t look = chosenTileLook();
    for (FinishedCopy& done : finished) {
        if (done.generation != generation || done.look != look) {
            continue;
        }
        const auto tile = std::find_if(grid->begin(), grid->end(),
                                       [&](const Tile& t) { return t.serial == done.serial; });
        if (tile != grid->end() && tile->rect.width() == done.copy.width &&
            tile->rect.height() == done.copy.height) {
            tile->surface = std::move(done.copy);
            tile->copyLook = done.look;
        }
    }
}

void waitForCellCopies() {
    CopyWork& work = copyWork();
    {
        std::unique_lock<std::mutex> hold(work.lock);
        work.changed.wait(hold, [&] { return work.queued.empty() && work.making == 0; });
    }
    installCellCopies();
}

void stopCellCopies() {
    CopyWork& work = copyWork();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> hold(work.lock);
        work.stopping = true;
        work.queued.clear();
        threads.swap(work.threads);
    }
    work.changed.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::lock_guard<std::mutex> hold(work.lock);
    work.stopping = false;
    work.finished.clear();
    work.making = 0;
    work.repaintAsked = false;
    work.asked.clear();
}

void setCellCopyGate(std::function<void()> gate) {
    CopyWork& work = copyWork();
    std::lock_guard<std::mutex> hold(work.lock);
    work.gate = std::move(gate);
}

#include "app/search_worker_thread.h"

#include "app/shell_state.h"
#include "mosaic/app_state.h"
#include "mosaic/search_worker.h"

namespace {

// The exit code 1 tells a finished worker from STILL_ACTIVE.
DWORD WINAPI searchWorkerEntry(LPVOID) {
    try {
        runSearchWorker();
    } catch (...) {
        // A cycle that failed half-way queued nothing that a paint could place; the next
        // tick tries again.
    }
    return 1;
}

bool workerStillRuns(HANDLE thread) {
    DWORD exitCode = 0;
    return GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE;
}

}  // namespace

bool startSearchWorkerWhenIdle(HWND mainWindow) {
    AppState& state = appState();
    if (state.searchEnabled.load() != 1 || state.tilesPending.load() != 0) {
        return false;
    }
    ShellState& shell = shellState();
    if (shell.workerThread) {
        if (workerStillRuns(shell.workerThread.get())) {
            return false;
        }
        shell.workerThread.reset();
    }
    shell.workerThread.reset(CreateThread(nullptr, 0, searchWorkerEntry, mainWindow, 0, nullptr));
    return static_cast<bool>(shell.workerThread);
}

void waitForSearchWorker() {
    ShellState& shell = shellState();
    if (!shell.workerThread) {
        return;
    }
    if (workerStillRuns(shell.workerThread.get())) {
        WaitForSingleObject(shell.workerThread.get(), INFINITE);
    }
    shell.workerThread.reset();
}

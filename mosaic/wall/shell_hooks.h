#pragma once

#include <functional>

// What the window shell does for the core. Empty hooks do nothing.
struct ShellHooks {
    // Invalidate the whole client area without erasing; may be called from the search worker.
    std::function<void()> requestRepaint;
    // The message box "エラー" / "固定ファイル保存失敗" owned by the main window.
    std::function<void()> showPinnedSaveError;
    // The message that the server refuses its timeline without an access_token; called from
    // the search worker, so the shell hands it to the user-interface thread.
    std::function<void()> showTimelineRefusal = {};
};

// Installed once at start-up, before the first worker exists.
void setShellHooks(ShellHooks hooks);

void requestRepaint();
void showPinnedSaveError();
void showTimelineRefusal();

#pragma once

#include <windows.h>

// The session and console-display notifications that tell the wall whether anybody can see it
// (mosaic/search/wall_visibility.h). Registered for the main window while it exists.
class SightNotifications {
  public:
    explicit SightNotifications(HWND window);
    SightNotifications(const SightNotifications&) = delete;
    SightNotifications& operator=(const SightNotifications&) = delete;
    ~SightNotifications();

  private:
    HWND window_;
    bool sessionRegistered_ = false;
    HPOWERNOTIFY display_ = nullptr;
};

// WM_WTSSESSION_CHANGE.
LRESULT onSessionChange(WPARAM change);
// WM_POWERBROADCAST: a change of the console display state.
LRESULT onPowerBroadcast(WPARAM event, LPARAM setting);

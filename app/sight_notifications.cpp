#include "app/sight_notifications.h"

#include <wtsapi32.h>

#include <cstring>

#include "mosaic/search/wall_visibility.h"

namespace {

// GUID_CONSOLE_DISPLAY_STATE, which the MinGW headers lack.
constexpr GUID kConsoleDisplayState{
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
// Its data: 0 off, 1 on, 2 dimmed (still seen).
constexpr DWORD kDisplayOff = 0;

}  // namespace

SightNotifications::SightNotifications(HWND window) : window_(window) {
    sessionRegistered_ = WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    display_ = RegisterPowerSettingNotification(window, &kConsoleDisplayState,
                                                DEVICE_NOTIFY_WINDOW_HANDLE);
}

SightNotifications::~SightNotifications() {
    if (display_ != nullptr) {
        UnregisterPowerSettingNotification(display_);
    }
    if (sessionRegistered_) {
        WTSUnRegisterSessionNotification(window_);
    }
}

LRESULT onSessionChange(WPARAM change) {
    if (change == WTS_SESSION_LOCK) {
        noteSessionLocked(true);
    } else if (change == WTS_SESSION_UNLOCK) {
        noteSessionLocked(false);
    }
    return 0;
}

LRESULT onPowerBroadcast(WPARAM event, LPARAM setting) {
    if (event != PBT_POWERSETTINGCHANGE || setting == 0) {
        return TRUE;
    }
    const auto* change = reinterpret_cast<const POWERBROADCAST_SETTING*>(setting);
    if (IsEqualGUID(change->PowerSetting, kConsoleDisplayState) &&
        change->DataLength >= sizeof(DWORD)) {
        DWORD state = 0;
        std::memcpy(&state, change->Data, sizeof state);
        noteDisplayOff(state == kDisplayOff);
    }
    return TRUE;
}

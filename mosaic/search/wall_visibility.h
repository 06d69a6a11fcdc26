#pragma once

// Whether anybody can see the wall, for pause_unseen: no search and no download starts while
// the wall is unseen, and the first tick after that searches as usual.

// What the system reports: the shell's user-notification state (the numeric values of
// QUERY_USER_NOTIFICATION_STATE, 0 when the shell could not tell), the session lock and the
// console display.
struct WallSight {
    int notificationState = 0;
    bool sessionLocked = false;
    bool displayOff = false;
};

// Unseen: a full-screen program, a Direct3D full-screen program or a presentation is in
// front, nobody is present (screen saver, another session), the session is locked or the
// display is off. Every other state, and one the platform could not tell, counts as seen.
bool wallIsUnseen(const WallSight& sight);

// The shell's user-notification state now; 0 when it cannot tell (an error, no shell).
int userNotificationState();

// From the main window's session and power-setting notifications.
void noteSessionLocked(bool locked);
void noteDisplayOff(bool off);

// pause_unseen is 1 and the wall is unseen now. Any thread.
bool searchRestsUnseen();

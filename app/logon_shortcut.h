#pragma once

// "ログオン時に起動": a shortcut to the program in the user's Startup folder.
bool startsAtLogOn();
// Makes or removes the shortcut; false when the shell refused.
bool setStartAtLogOn(bool start);

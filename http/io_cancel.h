#pragma once

#include <chrono>

// Lets a long exchange see that the program is ending, so a stalled, dribbling or hostile
// server cannot hold the exit. Every wait of the transports is cut into slices of at most
// kCancelSlice and looks at the check between them; the time-outs and deadlines still
// count in whole.
using CancelCheck = bool (*)();

// Process-wide; none by default (then nothing is ever cancelled).
void SetCancelCheck(CancelCheck check);
bool CancelRequested();

inline constexpr std::chrono::milliseconds kCancelSlice{100};

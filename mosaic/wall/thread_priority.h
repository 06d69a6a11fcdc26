#pragma once

// Lowers the calling thread's scheduling priority one step below the normal one, so that
// background picture work gives way to the user-interface thread on a busy machine. Does
// nothing where the platform cannot do it for one thread.
void lowerThisThreadPriority();

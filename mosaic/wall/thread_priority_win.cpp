#include <windows.h>

#include "mosaic/wall/thread_priority.h"

void lowerThisThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

#include "mosaic/wall/thread_priority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

void lowerThisThreadPriority() {
#if defined(__linux__)
    // On Linux a thread id names one thread to setpriority; elsewhere it would be the process.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, thread, getpriority(PRIO_PROCESS, thread) + 5);
#endif
}

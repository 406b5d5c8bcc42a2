#include "tools/capture/background_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

void LowerThisThreadsPriority()
{
    // On Linux a nice value belongs to a thread: PRIO_PROCESS with a thread
    // id changes that thread alone.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, thread, std::min(nice + 10, 19));
    }
}

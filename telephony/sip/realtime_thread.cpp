#include "realtime_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace VoiceBocxLib
{

namespace
{

// Above ordinary threads, below the kernel's own real-time threads and any
// audio server, which usually take 50 and up.
constexpr int kRealtimePriority = 10;
constexpr int kRaisedNice = -10;

} // namespace

ThreadPriority raiseThreadPriority()
{
    sched_param param{};
    param.sched_priority = kRealtimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return ThreadPriority::Realtime;
    // On Linux the nice value belongs to the thread, named by its id.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    if (setpriority(PRIO_PROCESS, tid, kRaisedNice) == 0)
        return ThreadPriority::Raised;
    return ThreadPriority::Normal;
}

const char *priorityName(ThreadPriority priority)
{
    switch (priority) {
    case ThreadPriority::Realtime:
        return "realtime";
    case ThreadPriority::Raised:
        return "raised";
    case ThreadPriority::Normal:
        break;
    }
    return "normal";
}

} // namespace VoiceBocxLib

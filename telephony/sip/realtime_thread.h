#pragma once

namespace VoiceBocxLib
{

/// How the calling thread's scheduling was raised.
enum class ThreadPriority {
    Normal,   ///< the system allowed neither (an unprivileged process)
    Raised,   ///< a higher share of the processor (negative nice value)
    Realtime, ///< SCHED_FIFO: runs before every ordinary thread when it wakes
};

/// Raises the calling thread to real-time scheduling (SCHED_FIFO at a low
/// real-time priority), or failing that to a better nice value; where the
/// system allows neither it stays as it is. The thread must sleep most of
/// the time: a real-time thread that spins starves the rest of the system.
ThreadPriority raiseThreadPriority();

/// "realtime", "raised" or "normal".
const char *priorityName(ThreadPriority priority);

} // namespace VoiceBocxLib

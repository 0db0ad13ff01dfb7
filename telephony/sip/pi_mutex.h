#pragma once

#include <pthread.h>

namespace VoiceBocxLib
{

/// A mutex with priority inheritance: a thread of ordinary priority that
/// holds it runs at the priority of a real-time thread waiting for it, so a
/// busy processor cannot keep the real-time thread waiting behind it.
class PiMutex
{
public:
    PiMutex()
    {
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
        pthread_mutex_init(&m_mutex, &attr);
        pthread_mutexattr_destroy(&attr);
    }
    ~PiMutex() { pthread_mutex_destroy(&m_mutex); }
    PiMutex(const PiMutex &) = delete;
    PiMutex &operator=(const PiMutex &) = delete;

    void lock() { pthread_mutex_lock(&m_mutex); }
    void unlock() { pthread_mutex_unlock(&m_mutex); }
    bool try_lock() { return pthread_mutex_trylock(&m_mutex) == 0; }

private:
    pthread_mutex_t m_mutex;
};

} // namespace VoiceBocxLib

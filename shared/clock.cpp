#include "clock.h"

#include <QThread>

#include <chrono>

namespace modVNQRN
{

namespace
{
thread_local Clock *installed = nullptr;
}

Clock::~Clock() = default;

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepMs(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

Clock &appClock()
{
    if (installed)
        return *installed;
    static SystemClock system;
    return system;
}

void setAppClock(Clock *clock)
{
    installed = clock;
}

} // namespace modVNQRN

#include "clock.h"

#include <QThread>

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

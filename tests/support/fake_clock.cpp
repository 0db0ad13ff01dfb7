#include "fake_clock.h"

FakeClock::FakeClock(QDateTime start) : m_now(std::move(start))
{
    modVNQRN::setAppClock(this);
}

FakeClock::~FakeClock()
{
    modVNQRN::setAppClock(nullptr);
}

void FakeClock::sleepMs(int ms)
{
    m_slept += ms;
    advanceMs(ms);
}

#pragma once

#include "shared/clock.h"

#include <functional>

/// A clock that stands still until told: sleepMs() advances it at once, so a
/// 30-second wait loop finishes in microseconds. Installs itself while alive.
/// The wall clock and the monotonic clock move together, except that set()
/// and stepWallMs() move the wall clock alone, as setting a real clock does.
class FakeClock final : public modVNQRN::Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 0)))
        : m_now(std::move(start))
    {
        modVNQRN::setAppClock(this);
    }
    ~FakeClock() override { modVNQRN::setAppClock(nullptr); }

    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonicMs; }
    void sleepMs(int ms) override
    {
        ++m_sleeps;
        if (m_onSleep)
            m_onSleep(*this);
        advanceMs(ms);
    }

    void set(const QDateTime &when) { m_now = when; }
    void stepWallMs(qint64 ms) { m_now = m_now.addMSecs(ms); }
    void advanceMs(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_monotonicMs += ms;
    }
    /// Runs `action` at the start of every later sleep (empty to stop).
    void onSleep(std::function<void(FakeClock &)> action) { m_onSleep = std::move(action); }
    qint64 sleeps() const { return m_sleeps; }

private:
    QDateTime m_now;
    qint64 m_monotonicMs = 1000000;
    qint64 m_sleeps = 0;
    std::function<void(FakeClock &)> m_onSleep;
};

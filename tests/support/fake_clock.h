#pragma once

#include "shared/clock.h"

/// A clock that stands still until told: sleepMs() advances it at once, so a
/// 30-second wait loop finishes in microseconds. Installs itself while alive.
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
    void sleepMs(int ms) override { advanceMs(ms); }

    void set(const QDateTime &when) { m_now = when; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

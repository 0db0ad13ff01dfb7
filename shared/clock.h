#pragma once

#include <QDateTime>

namespace modVNQRN
{

/// The time of day, a monotonic reading for waits, and the product's short
/// sleeps, behind one interface so that tests can run a 30-second wait, a day
/// change or a wall clock set back, in no time.
///
/// now() is for dates only (a message's day, a log's time stamp). Every wait
/// measures its time with monotonicMs(), which the wall clock being set (by
/// hand, by NTP, at a change of summer time) never moves.
class Clock
{
public:
    virtual ~Clock();
    /// The local date and time.
    virtual QDateTime now() const = 0;
    /// Milliseconds on a clock that only goes forward, from an arbitrary start.
    virtual qint64 monotonicMs() const = 0;
    /// Blocks the calling thread for `ms` milliseconds (the 10 ms pause of
    /// the product's busy waits).
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(int ms) override;
};

/// The clock in use on this thread: the one installed, else the system clock.
Clock &appClock();
/// Installs `clock` (not owned; nullptr goes back to the system clock).
void setAppClock(Clock *clock);

} // namespace modVNQRN

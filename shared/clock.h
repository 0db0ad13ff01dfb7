#pragma once

#include <QDateTime>

namespace modVNQRN
{

/// The time of day and the product's short sleeps, behind one interface so
/// that tests can run a 30-second wait, or a day change, in no time.
class Clock
{
public:
    virtual ~Clock();
    /// The local date and time.
    virtual QDateTime now() const = 0;
    /// Blocks the calling thread for `ms` milliseconds (the 10 ms pause of
    /// the product's busy waits).
    virtual void sleepMs(int ms) = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    void sleepMs(int ms) override;
};

/// The clock in use on this thread: the one installed, else the system clock.
Clock &appClock();
/// Installs `clock` (not owned; nullptr goes back to the system clock).
void setAppClock(Clock *clock);

} // namespace modVNQRN

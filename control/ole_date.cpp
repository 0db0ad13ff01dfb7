#include "ole_date.h"

#include <cmath>

namespace VNOrvak
{

namespace
{
constexpr double kMsPerDay = 86400000.0;
const QDate kZeroDay(1899, 12, 30);
} // namespace

QDateTime oleZeroDate()
{
    return QDateTime(kZeroDay, QTime(0, 0));
}

QDateTime dateFromOle(double oleDate)
{
    // The calendar part and the time part are separate: -1.25 is 29 December
    // 1899 at 06:00, not 28 December at 18:00.
    const double days = std::trunc(oleDate);
    const auto ms = static_cast<qint64>(std::llround(std::fabs(oleDate - days) * kMsPerDay));
    const QDate day = kZeroDay.addDays(static_cast<qint64>(days));
    return QDateTime(day, QTime(0, 0)).addMSecs(ms);
}

double oleFromDate(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    const double days = static_cast<double>(kZeroDay.daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

} // namespace VNOrvak

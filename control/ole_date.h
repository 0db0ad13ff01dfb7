#pragma once

#include <QDateTime>

namespace VNOrvak
{

/// The "zero" of a Date at the host interface: 30 December 1899, 00:00:00
/// local time. LastMsgDate holds it until a message file has been seen.
QDateTime oleZeroDate();

/// A host Date (days since oleZeroDate(), time of day as the fraction; for
/// negative values the fraction still counts forward from midnight) as a
/// local QDateTime, to the millisecond.
QDateTime dateFromOle(double oleDate);

/// The host Date of a local date and time (the inverse of dateFromOle()).
double oleFromDate(const QDateTime &when);

} // namespace VNOrvak

#pragma once

// What the SIP benchmarks share: running the event loop for a while, and
// the percentile of a series of figures.

#include <QEventLoop>
#include <QTimer>
#include <QVector>

#include <algorithm>

/// Runs the event loop for `ms` (the call's audio goes on meanwhile; the
/// telephone and the line settle).
inline void runEventsMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// The value below which the share `p` (0 to 1) of `values` lies; 0 for none.
inline double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[qsizetype(
        std::min<double>(double(values.size() - 1), p * double(values.size())))];
}

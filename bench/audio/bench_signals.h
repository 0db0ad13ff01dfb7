#pragma once

#include <QVector>

#include <algorithm>
#include <cmath>

// A rising tone of `ms` milliseconds at 8000 Hz, easy to find in a recording.
inline QVector<qint16> benchTone(int ms)
{
    QVector<qint16> s(ms * 8);
    for (qsizetype i = 0; i < s.size(); ++i)
        s[i] = qint16(8000 * std::sin(2 * M_PI * (300 + i / 40.0) * double(i) / 8000));
    return s;
}

inline double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

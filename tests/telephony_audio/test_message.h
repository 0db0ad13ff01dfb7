#pragma once

#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdlib>

/// A deterministic speech-like test message: a gliding voiced tone with a
/// syllable rhythm, loud from its very first sample so that a lost start
/// shows.
inline QVector<qint16> speechLikeMessage(int ms, int rate = 8000)
{
    QVector<qint16> s(qsizetype(qint64(ms) * rate / 1000));
    double phase = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const double t = double(i) / rate;
        const double pitch = 180 + 60 * std::sin(2 * M_PI * 1.3 * t);
        phase += 2 * M_PI * pitch / rate;
        const double syllable = 0.6 + 0.4 * std::cos(2 * M_PI * 4 * t);
        const double voice =
            std::sin(phase) + 0.5 * std::sin(3 * phase) + 0.25 * std::sin(5 * phase);
        s[i] = qint16(7000 * syllable * voice);
    }
    return s;
}

/// A loud test message that never comes near silence: a hum of two tones
/// over a steady offset, between about 4500 and 21500. Its own steps stay
/// far below 4096 (1/8 of full scale), while any jump between it and
/// silence is larger: a start or an end without a fade shows as a click.
inline QVector<qint16> loudHumMessage(int ms, int rate = 8000)
{
    QVector<qint16> s(qsizetype(qint64(ms) * rate / 1000));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const double t = double(i) / rate;
        s[i] = qint16(13000 + 6000 * std::sin(2 * M_PI * 150 * t) +
                      2500 * std::sin(2 * M_PI * 410 * t + 1));
    }
    return s;
}

/// The largest difference between two neighbouring samples.
inline int largestStep(const QVector<qint16> &s, qsizetype from = 0, qsizetype to = -1)
{
    if (to < 0 || to > s.size())
        to = s.size();
    int largest = 0;
    for (qsizetype i = std::max<qsizetype>(from, 1); i < to; ++i)
        largest = std::max(largest, std::abs(int(s[i]) - int(s[i - 1])));
    return largest;
}

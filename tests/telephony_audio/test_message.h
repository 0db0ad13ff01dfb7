#pragma once

#include <QVector>

#include <cmath>

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

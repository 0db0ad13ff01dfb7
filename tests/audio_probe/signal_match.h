#pragma once

#include <QVector>

#include <utility>

/// Where a reference signal lies in a recording, and how well it matches.
struct SignalMatch {
    qint64 lag = -1;          ///< index in the recording of reference sample 0
    double correlation = 0.0; ///< normalised correlation at that lag (1 = identical)
};

/// The lag (0 .. recording size - reference size) with the best normalised
/// correlation of `reference` against the recording.
SignalMatch findSignal(const QVector<qint16> &reference, const QVector<qint16> &recording);

/// Normalised correlation of reference[from, from + count) with the
/// recording at `lag` (0 when out of range).
double correlationAt(const QVector<qint16> &reference, const QVector<qint16> &recording, qint64 lag,
                     qint64 from = 0, qint64 count = -1);

/// Index of the first and one past the last sample louder than `threshold`
/// ({0, 0} for silence).
std::pair<qint64, qint64> soundSpan(const QVector<qint16> &samples, int threshold = 200);

#include "signal_match.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

double correlationAt(const QVector<qint16> &reference, const QVector<qint16> &recording, qint64 lag,
                     qint64 from, qint64 count)
{
    if (count < 0)
        count = reference.size() - from;
    if (lag < 0 || from < 0 || count <= 0 || from + count > reference.size() ||
        lag + from + count > recording.size())
        return 0.0;
    double rr = 0, cc = 0, rc = 0;
    for (qint64 i = from; i < from + count; ++i) {
        const double r = reference[i];
        const double c = recording[lag + i];
        rr += r * r;
        cc += c * c;
        rc += r * c;
    }
    return rr > 0 && cc > 0 ? rc / std::sqrt(rr * cc) : 0.0;
}

SignalMatch findSignal(const QVector<qint16> &reference, const QVector<qint16> &recording)
{
    SignalMatch best;
    // A coarse pass on every 4th lag over a short window, then every lag
    // around the best few candidates over the whole reference.
    const qint64 lags = recording.size() - reference.size();
    const qint64 window = std::min<qint64>(reference.size(), 4000);
    QVector<std::pair<double, qint64>> coarse;
    for (qint64 lag = 0; lag <= lags; lag += 4)
        coarse.append({correlationAt(reference, recording, lag, 0, window), lag});
    std::sort(coarse.begin(), coarse.end(), std::greater<>());
    for (qsizetype k = 0; k < std::min<qsizetype>(coarse.size(), 5); ++k) {
        for (qint64 lag = coarse[k].second - 4; lag <= coarse[k].second + 4; ++lag) {
            const double c = correlationAt(reference, recording, lag);
            if (c > best.correlation)
                best = {lag, c};
        }
    }
    return best;
}

std::pair<qint64, qint64> soundSpan(const QVector<qint16> &samples, int threshold)
{
    const auto loud = [threshold](qint16 s) { return std::abs(int(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return {0, 0};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    return {first - samples.begin(), samples.rend() - last};
}

#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QVector>

#include <functional>

/// Records what reaches the null sink "vsink" (its monitor, 8000 Hz mono
/// 16-bit) with parec, and when each part of it arrived.
class MonitorCapture
{
public:
    MonitorCapture();
    ~MonitorCapture();

    /// Starts parec.
    bool start();
    /// Waits (at most `timeoutMs`) until recorded samples flow. An idle null
    /// sink hands them out only every two seconds; once a recording runs it
    /// keeps the sink, and every stream played into it, on a short beat.
    bool waitForFlow(int timeoutMs = 5000);
    /// Collects until everything that reached the sink up to `clockMs` (on
    /// clock()) has been recorded, at most `timeoutMs`.
    void settle(double clockMs, int timeoutMs = 1000);
    /// Ends the recording and collects the rest of what was recorded.
    void stop();

    /// The samples recorded so far (collected while the event loop runs).
    const QVector<qint16> &samples() const { return m_samples; }
    /// The latest time, in ms on clock(), by which recorded sample `index`
    /// had reached the sink: an upper bound, tight to the delivery jitter.
    double arrivalMs(qint64 index) const;
    /// The clock arrival times are measured on.
    const QElapsedTimer &clock() const { return m_clock; }

private:
    void collect();
    /// Collects until `done` holds, at most `timeoutMs`; whether it holds.
    bool collectUntil(const std::function<bool()> &done, int timeoutMs);

    QProcess m_parec;
    QElapsedTimer m_clock;
    QVector<qint16> m_samples;
    QByteArray m_pending;
    // For each chunk read: the samples recorded by then, and when.
    QVector<std::pair<qint64, double>> m_chunks;
};

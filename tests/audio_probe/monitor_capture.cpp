#include "monitor_capture.h"

#include <QThread>

#include <algorithm>
#include <csignal>
#include <limits>

MonitorCapture::MonitorCapture()
{
    m_clock.start();
    QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] { collect(); });
}

MonitorCapture::~MonitorCapture()
{
    stop();
}

bool MonitorCapture::start()
{
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("-d"), QStringLiteral("vsink.monitor"),
                   QStringLiteral("--rate=8000"), QStringLiteral("--channels=1"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--latency-msec=20")});
    if (!m_parec.waitForStarted(3000))
        return false;
    // Recording has begun once the server lists it. An idle null sink hands
    // its monitor's samples out only every few seconds, so they are no sign.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"),
                                              QStringLiteral("source-outputs")});
        if (pactl.waitForFinished(1000) && !pactl.readAllStandardOutput().trimmed().isEmpty())
            return true;
        QThread::msleep(20);
    }
    return false;
}

bool MonitorCapture::waitForFlow(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    const qsizetype before = m_samples.size();
    while (m_samples.size() < before + 1600 && waited.elapsed() < timeoutMs) {
        m_parec.waitForReadyRead(50);
        collect();
    }
    return m_samples.size() >= before + 1600;
}

void MonitorCapture::settle(double clockMs, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs &&
           (m_chunks.isEmpty() || m_chunks.last().second < clockMs + 40)) {
        m_parec.waitForReadyRead(20);
        collect();
    }
}

void MonitorCapture::stop()
{
    if (m_parec.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_parec.processId()), SIGINT);
    if (!m_parec.waitForFinished(2000)) {
        m_parec.kill();
        m_parec.waitForFinished(1000);
    }
    collect();
}

void MonitorCapture::collect()
{
    m_pending += m_parec.readAllStandardOutput();
    const qsizetype whole = m_pending.size() / 2;
    if (whole == 0)
        return;
    const auto *p = reinterpret_cast<const qint16 *>(m_pending.constData());
    m_samples.append(QVector<qint16>(p, p + whole));
    m_pending.remove(0, whole * 2);
    m_chunks.append({m_samples.size(), double(m_clock.nsecsElapsed()) / 1e6});
}

double MonitorCapture::arrivalMs(qint64 index) const
{
    double best = std::numeric_limits<double>::max();
    for (const auto &[count, atMs] : m_chunks) {
        if (count > index)
            best = std::min(best, atMs - double(count - 1 - index) / 8.0);
    }
    return best;
}

#include "monitor_capture.h"

#include <algorithm>
#include <csignal>
#include <limits>

using namespace Qt::StringLiterals;

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
    m_parec.start(u"parec"_s, {u"-d"_s, u"vsink.monitor"_s, u"--rate=8000"_s, u"--channels=1"_s,
                               u"--format=s16le"_s, u"--latency-msec=20"_s});
    return m_parec.waitForStarted(3000);
}

bool MonitorCapture::collectUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeoutMs) {
        m_parec.waitForReadyRead(20);
        collect();
    }
    return done();
}

bool MonitorCapture::waitForFlow(int timeoutMs)
{
    const qsizetype before = m_samples.size();
    return collectUntil([&] { return m_samples.size() >= before + 1600; }, timeoutMs);
}

void MonitorCapture::settle(double clockMs, int timeoutMs)
{
    collectUntil([&] { return !m_chunks.isEmpty() && m_chunks.last().second >= clockMs + 40; },
                 timeoutMs);
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

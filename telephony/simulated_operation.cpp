#include "simulated_operation.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace VoiceBocxLib
{

namespace
{

int realMs(double seconds, double scale)
{
    return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0 * std::max(0.0, scale)));
}

} // namespace

SimulatedOperation::SimulatedOperation(double timeScale, double lengthSeconds)
    : m_scale(timeScale), m_length(lengthSeconds)
{
}

SimulatedOperation::~SimulatedOperation() = default;

void SimulatedOperation::at(double second, std::function<void()> action)
{
    m_actions.emplace_back(second, std::move(action));
}

SimEnding SimulatedOperation::run()
{
    m_running = true;
    m_elapsed.start();
    // Actions at the very end still run before the end: they are queued first.
    std::stable_sort(m_actions.begin(), m_actions.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    // Not a structured binding: clang before 16 cannot capture one.
    for (auto &entry : m_actions) {
        const double second = entry.first;
        auto &action = entry.second;
        if (m_length >= 0 && second > m_length)
            continue;
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this, s = second, &action] {
            if (!m_running)
                return;
            m_actionSecond = s;
            action();
            m_actionSecond = -1;
        });
        timer->start(realMs(second, m_scale));
        m_timers.push_back(std::move(timer));
    }
    if (m_length >= 0) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this] { finish(SimEnding::End); });
        timer->start(realMs(m_length, m_scale));
        m_timers.push_back(std::move(timer));
    }
    if (m_running)
        m_loop.exec();
    m_timers.clear();
    return m_ending;
}

void SimulatedOperation::finish(SimEnding ending)
{
    if (!m_running)
        return;
    m_endPosition = ending == SimEnding::End && m_length >= 0 ? m_length : position();
    m_running = false;
    m_ending = ending;
    for (auto &timer : m_timers)
        timer->stop();
    m_loop.exit();
}

double SimulatedOperation::position() const
{
    if (!m_running)
        return std::max(0.0, m_endPosition);
    if (m_actionSecond >= 0)
        return m_actionSecond;
    const double seconds = m_scale > 0 ? m_elapsed.elapsed() / (1000.0 * m_scale) : 0.0;
    return m_length >= 0 ? std::min(seconds, m_length) : seconds;
}

} // namespace VoiceBocxLib

#include "voice_bocx.h"

#include <QFileInfo>

namespace VoiceBocxLib
{

double voiceFileSeconds(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable())
        throw voiceBocxError(vbErrFileOpen);
    return static_cast<double>(info.size()) / 4000.0;
}

} // namespace VoiceBocxLib

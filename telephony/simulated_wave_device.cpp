#include "simulated_wave_device.h"

#include <cmath>

namespace VoiceBocxLib
{

namespace
{
thread_local SimulatedWaveDevice *lastCreated = nullptr;
}

SimulatedWaveDevice::SimulatedWaveDevice(double timeScale) : m_scale(timeScale)
{
    lastCreated = this;
}

SimulatedWaveDevice::~SimulatedWaveDevice()
{
    if (lastCreated == this)
        lastCreated = nullptr;
    if (m_current)
        m_current->abandon();
}

SimulatedWaveDevice *SimulatedWaveDevice::last()
{
    return lastCreated;
}

void SimulatedWaveDevice::duringNextPlay(double second, std::function<void()> action)
{
    m_pending.emplace_back(second, std::move(action));
}

void SimulatedWaveDevice::play(const QString &path, qint32, qint32 skipSeconds)
{
    if (m_current)
        throw voiceBocxError(vbErrBusy);
    const double length = voiceFileSeconds(path);
    const double skip = std::max<qint32>(0, skipSeconds);
    SimulatedOperation op(m_scale, std::max(0.0, length - skip));
    for (auto &[second, action] : m_pending)
        op.at(second, std::move(action));
    m_pending.clear();
    m_playSkip = skip;
    m_playLength = length;
    m_current = &op;
    const SimEnding ending = op.run();
    // Deleted while it played (its owner went away): nothing of it is left to touch.
    if (op.abandoned())
        throw voiceBocxError(vbErrOperationFailed);
    m_current = nullptr;
    const double end = std::min(length, skip + op.position());
    m_elapsed = static_cast<qint32>(std::floor(end - skip + 1e-9));
    m_plays.append({path, static_cast<qint32>(skip), end, ending});
}

qint32 SimulatedWaveDevice::elapsedSeconds() const
{
    if (m_current)
        return static_cast<qint32>(
            std::floor(std::min(m_playLength - m_playSkip, m_current->position()) + 1e-9));
    return m_elapsed;
}

void SimulatedWaveDevice::stop()
{
    if (m_current)
        m_current->finish(SimEnding::StopVoice);
}

} // namespace VoiceBocxLib

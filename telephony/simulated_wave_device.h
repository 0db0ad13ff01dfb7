#pragma once

#include "simulated_operation.h"
#include "voice_bocx.h"

#include <QList>
#include <QString>

namespace VoiceBocxLib
{

/// One playback of a simulated device, as tests read it back.
struct SimPlay {
    QString file;
    qint32 startSecond = 0; ///< the skip seconds it started from
    double endPosition = 0; ///< the file position, in seconds, where it ended
    SimEnding ending = SimEnding::End;
};

/// A sound card that plays for as long as the file lasts (scaled by the
/// time scale) and records what it played. The last one created is
/// reachable through last() while it lives.
class SimulatedWaveDevice final : public WaveDevice
{
public:
    explicit SimulatedWaveDevice(double timeScale = 1.0);
    ~SimulatedWaveDevice() override;
    static SimulatedWaveDevice *last();

    qint32 deviceCount() const override { return 1; }
    qint32 channel() const override { return 1; }
    void play(const QString &path, qint32 format, qint32 skipSeconds) override;
    void stop() override;
    qint32 elapsedSeconds() const override;
    bool playing() const override { return m_current != nullptr; }

    void setTimeScale(double scale) { m_scale = scale; }
    /// Runs `action` at `second` of the next play (a click on Pause, say).
    void duringNextPlay(double second, std::function<void()> action);
    const QList<SimPlay> &plays() const { return m_plays; }

private:
    double m_scale;
    qint32 m_elapsed = 0;
    double m_playSkip = 0;
    double m_playLength = 0;
    SimulatedOperation *m_current = nullptr;
    std::vector<std::pair<double, std::function<void()>>> m_pending;
    QList<SimPlay> m_plays;
};

} // namespace VoiceBocxLib

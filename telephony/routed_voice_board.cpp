#include "routed_voice_board.h"

namespace VoiceBocxLib
{

RoutedVoiceBoard::RoutedVoiceBoard(std::unique_ptr<WaveDevice> wave) : m_wave(std::move(wave)) {}

RoutedVoiceBoard::~RoutedVoiceBoard() = default;

qint32 RoutedVoiceBoard::QueryDevice(qint32 kind)
{
    if (kind == kVoiceDevice)
        return lineDeviceCount();
    if (kind == kWaveDevice)
        return m_wave ? m_wave->deviceCount() : 0;
    return 0;
}

qint32 RoutedVoiceBoard::FindChannel(qint32 kind)
{
    if (kind == kWaveDevice)
        return m_wave ? m_wave->channel() : 0;
    return 0;
}

bool RoutedVoiceBoard::mediaRouted() const
{
    return m_wave && m_wave->deviceCount() != 0 && !m_autoRouteMedia && m_trunkChannel == -1 &&
           m_mediaChannel != 0 && m_mediaChannel == m_wave->channel();
}

void RoutedVoiceBoard::PlayFile(const QString &path, qint32 format, const QString &stopTones,
                                qint32 skipSeconds)
{
    m_lastPlayOnWave = mediaRouted();
    // The sound-card route is chosen but there is no sound card: that is the
    // failure to report, not the line's missing trunk channel.
    if (!m_lastPlayOnWave && !m_autoRouteMedia && m_trunkChannel == -1)
        throw modVNQRN::Error(modVNQRN::errUnexpected,
                              QStringLiteral("No sound card is installed"));
    if (m_lastPlayOnWave)
        m_wave->play(path, format, skipSeconds);
    else
        linePlayFile(path, format, stopTones, skipSeconds);
}

void RoutedVoiceBoard::StopVoice()
{
    // A stop reaches whichever half is playing, whatever the route says now.
    if (m_wave && m_wave->playing())
        m_wave->stop();
    else
        lineStopVoice();
}

qint32 RoutedVoiceBoard::ElapsedSeconds() const
{
    return m_lastPlayOnWave ? m_wave->elapsedSeconds() : lineElapsedSeconds();
}

} // namespace VoiceBocxLib

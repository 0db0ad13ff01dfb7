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
    return !m_autoRouteMedia && m_trunkChannel == -1;
}

void RoutedVoiceBoard::PlayFile(const QString &path, qint32 format, const QString &stopTones,
                                qint32 skipSeconds)
{
    // With no trunk the media route is the only place a play can go, even
    // when the sound card has gone since the route was set: the wave device
    // then says that there is no sound card, rather than the line that it
    // has no trunk.
    m_lastPlayOnWave = mediaRouted();
    if (!m_lastPlayOnWave)
        linePlayFile(path, format, stopTones, skipSeconds);
    else if (m_wave)
        m_wave->play(path, format, skipSeconds);
    else
        throw modVNQRN::Error(modVNQRN::errUnexpected, QStringLiteral("No sound card is installed"),
                              QString::fromUtf16(kErrorSource));
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
    if (!m_lastPlayOnWave)
        return lineElapsedSeconds();
    return m_wave ? m_wave->elapsedSeconds() : 0;
}

} // namespace VoiceBocxLib

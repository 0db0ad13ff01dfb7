#pragma once

#include "voice_bocx.h"

#include <memory>

namespace VoiceBocxLib
{

/// A voice board whose wave-device half is a separate WaveDevice object: it
/// keeps the trunk and media channels, answers the wave-device queries from
/// that object, and sends PlayFile, StopVoice and ElapsedSeconds to it while
/// the media route is selected. Subclasses supply the line half.
class RoutedVoiceBoard : public VoiceBocx
{
public:
    /// `wave` may be null: the board then has no wave device.
    explicit RoutedVoiceBoard(std::unique_ptr<WaveDevice> wave);
    ~RoutedVoiceBoard() override;

    void setAutoRouteMedia(bool on) override { m_autoRouteMedia = on; }
    void setMediaChannel(qint16 channel) override { m_mediaChannel = channel; }
    qint16 mediaChannel() const { return m_mediaChannel; }
    qint32 TrunkChannel() const override { return m_trunkChannel; }
    void setTrunkChannel(qint32 channel) override { m_trunkChannel = channel; }

    qint32 QueryDevice(qint32 kind) override;
    qint32 FindChannel(qint32 kind) override;
    void PlayFile(const QString &path, qint32 format = 0, const QString &stopTones = {},
                  qint32 skipSeconds = 0) override;
    void StopVoice() override;
    qint32 ElapsedSeconds() const override;

    /// True while playback goes to the wave device: AutoRouteMedia off and no
    /// trunk channel. (The media channel is not compared with the wave
    /// device's: a device list that changed after the route was set must not
    /// send the play to a line without a trunk.)
    bool mediaRouted() const;
    WaveDevice *waveDevice() const { return m_wave.get(); }

protected:
    /// The line half: the number of trunk channels, and playback on the trunk.
    virtual qint32 lineDeviceCount() const = 0;
    virtual void linePlayFile(const QString &path, qint32 format, const QString &stopTones,
                              qint32 skipSeconds) = 0;
    virtual void lineStopVoice() = 0;
    virtual qint32 lineElapsedSeconds() const = 0;

private:
    std::unique_ptr<WaveDevice> m_wave;
    qint32 m_trunkChannel = -1;
    qint16 m_mediaChannel = 0;
    bool m_autoRouteMedia = true;
    bool m_lastPlayOnWave = false;
};

} // namespace VoiceBocxLib

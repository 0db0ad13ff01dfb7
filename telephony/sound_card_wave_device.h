#pragma once

#include "sound_card_player.h"
#include "voice_bocx.h"

namespace VoiceBocxLib
{

/// The workstation's sound card as a voice board's wave device (settings
/// name "soundcard"): messages decoded and played through the system's
/// default audio output; present exactly when the system lists one.
class SoundCardWaveDevice final : public WaveDevice
{
public:
    /// `voxRate` is the sample rate of the message files (8000 or 6000).
    explicit SoundCardWaveDevice(int voxRate);

    qint32 deviceCount() const override { return m_player.deviceCount(); }
    /// The default output's place in the system's list, counted from 1 (0: none).
    qint32 channel() const override { return m_player.findChannel() + 1; }
    void play(const QString &path, qint32 format, qint32 skipSeconds) override;
    void stop() override { m_player.stop(); }
    qint32 elapsedSeconds() const override { return m_player.elapsedSeconds(); }
    bool playing() const override { return m_player.isPlaying(); }

private:
    SoundCardPlayer m_player;
};

} // namespace VoiceBocxLib

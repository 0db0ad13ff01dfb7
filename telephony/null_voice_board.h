#pragma once

#include "routed_voice_board.h"

namespace VoiceBocxLib
{

/// The "none" back end: no trunk channels. Queries answer "absent" and every
/// line operation throws vbErrNoDevice; a wave device given to it still works.
class NullVoiceBoard final : public RoutedVoiceBoard
{
public:
    explicit NullVoiceBoard(std::unique_ptr<WaveDevice> wave = nullptr);

    qint32 ChannelState() const override { return kChannelIdle; }
    qint32 CallStatus() const override { return 0; }
    void HangUp() override {}
    QString CollectDigits(qint32 count, qint32 timeoutSeconds = 0, qint16 flags = 0) override;
    void Dial(const QString &number, bool wait = true) override;
    void GenerateTone(qint32 frequency, qint32 level, qint32 length) override;
    void PlayPrompt(const QString &path) override;
    void RecordFile(const QString &path, qint32 format = 0, qint32 maxSeconds = 0,
                    qint32 silenceSeconds = 0) override;

protected:
    qint32 lineDeviceCount() const override { return 0; }
    void linePlayFile(const QString &path, qint32 format, const QString &stopTones,
                      qint32 skipSeconds) override;
    void lineStopVoice() override {}
    qint32 lineElapsedSeconds() const override { return 0; }
};

/// The "none" wave device: absent; play throws vbErrNoDevice.
class NullWaveDevice final : public WaveDevice
{
public:
    qint32 deviceCount() const override { return 0; }
    qint32 channel() const override { return 0; }
    void play(const QString &path, qint32 format, qint32 skipSeconds) override;
    void stop() override {}
    qint32 elapsedSeconds() const override { return 0; }
    bool playing() const override { return false; }
};

} // namespace VoiceBocxLib

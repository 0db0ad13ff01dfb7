#include "null_voice_board.h"

namespace VoiceBocxLib
{

NullVoiceBoard::NullVoiceBoard(std::unique_ptr<WaveDevice> wave) : RoutedVoiceBoard(std::move(wave))
{
}

QString NullVoiceBoard::CollectDigits(qint32, qint32, qint16)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullVoiceBoard::Dial(const QString &, bool)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullVoiceBoard::GenerateTone(qint32, qint32, qint32)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullVoiceBoard::PlayPrompt(const QString &)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullVoiceBoard::RecordFile(const QString &, qint32, qint32, qint32)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullVoiceBoard::linePlayFile(const QString &, qint32, const QString &, qint32)
{
    throw voiceBocxError(vbErrNoDevice);
}

void NullWaveDevice::play(const QString &, qint32, qint32)
{
    throw voiceBocxError(vbErrNoDevice);
}

} // namespace VoiceBocxLib

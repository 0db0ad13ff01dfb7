#include "sound_card_wave_device.h"

namespace VoiceBocxLib
{

SoundCardWaveDevice::SoundCardWaveDevice(int voxRate)
{
    m_player.setVoxRate(voxRate);
}

void SoundCardWaveDevice::play(const QString &path, qint32 /*format*/, qint32 skipSeconds)
{
    // Every message is 4-bit ADPCM; the format code carries nothing more.
    m_player.setChannel(m_player.findChannel());
    m_player.play(path, skipSeconds);
}

} // namespace VoiceBocxLib

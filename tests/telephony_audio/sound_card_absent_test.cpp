// Run by CTest with PULSE_SERVER pointing at nothing and no ALSA device: the
// system lists no audio output.

#include "telephony/clsPhoneHelp.h"
#include "telephony/sound_card_player.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

using namespace VoiceBocxLib;

TEST(SoundCardAbsentTest, NoOutputMeansNoWaveDeviceAndNoPlay)
{
    SoundCardPlayer player;
    EXPECT_FALSE(player.isPresent());
    EXPECT_EQ(player.deviceCount(), 0);
    EXPECT_EQ(player.findChannel(), -1);

    TestWorkstation ws;
    TestWorkstation::writeFile(ws.root() + u"N1.vox", QByteArray(800, '\x11'));
    try {
        player.play(ws.root() + u"N1.vox");
        ADD_FAILURE() << "played without a sound card";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.description(), u"No sound card is installed");
    }
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.elapsedSeconds(), 0);
}

TEST(SoundCardAbsentTest, TheHelperFindsNoSoundCard)
{
    TestWorkstation ws;
    modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
    TestWorkstation::writeFile(modVNQRN::gsLocalIni,
                               "[VoiceBoard]\nDriver=none\nWaveDevice=soundcard\n");
    clsPhoneHelp helper;
    EXPECT_FALSE(helper.SoundCardIsInstalled());
}

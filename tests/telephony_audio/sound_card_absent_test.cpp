// Run by CTest with PULSE_SERVER pointing at nothing and no ALSA device: the
// system lists no audio output.

#include "control/display_states.h"
#include "control/message_control.h"
#include "telephony/sound_card_player.h"

#include "shared/error.h"
#include "shared/profile.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>

using namespace VoiceBocxLib;

TEST(SoundCardAbsentTest, NoOutputMeansNoWaveDeviceAndNoPlay)
{
    SoundCardPlayer player;
    EXPECT_FALSE(player.isPresent());
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
}

// The whole chain: the sound-card wave device finds no output, the helper
// reports no sound card, and the control says so.
TEST(SoundCardAbsentTest, TheControlShowsNoSoundcardInstalled)
{
    TestWorkstation ws;
    RecordingPrompter prompter;
    QDir().mkpath(ws.localAppFolder());
    const QString ini = ws.localAppFolder() + u"QelLocal.ini";
    modVNQRN::WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("VnPath"),
                                 ws.root() + u"inst", ini);
    modVNQRN::WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("SoundCard"),
                                 QStringLiteral("1"), ini);
    TestWorkstation::writeFile(ws.root() + u"inst/VNT/Data/messages/N0000000042A.vox",
                               QByteArray(800, '\x11'));

    VNOrvak::MessageControl control;
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    control.InitializeForID(QStringLiteral("42"));
    EXPECT_EQ(control.core().lastState(), VNOrvak::dsNoDevice);
    EXPECT_EQ(control.findChild<QLabel *>(QStringLiteral("lblNotes"))->text(),
              u"No Soundcard Installed");
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

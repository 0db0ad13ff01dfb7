// Run by CTest with PULSE_SERVER pointing at nothing and no ALSA device: the
// system lists no audio output.

#include "control/display_states.h"
#include "control/message_control.h"
#include "telephony/sound_card_player.h"

#include "shared/error.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"

#include <gtest/gtest.h>

#include <QLabel>

using namespace VoiceBocxLib;

// The whole chain: the sound-card wave device finds no output and refuses to
// play, the helper reports no sound card, and the control says so.
TEST(SoundCardAbsentTest, NoOutputMeansNoPlayAndTheControlShowsNoSoundcardInstalled)
{
    TestWorkstation ws;
    RecordingPrompter prompter;
    ws.writeLocalIni("SoundCard=1\n");
    const QString message = ws.messagesFolder() + u"N0000000042A.vox";
    TestWorkstation::writeFile(message, QByteArray(800, '\x11'));

    SoundCardPlayer player;
    EXPECT_FALSE(player.isPresent());
    EXPECT_EQ(player.findChannel(), -1);
    EXPECT_EQ(thrownError([&] { player.play(message); }).description(),
              u"No sound card is installed");
    EXPECT_FALSE(player.isPlaying());

    VNOrvak::MessageControl control;
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    control.InitializeForID(QStringLiteral("42"));
    EXPECT_EQ(control.core().lastState(), VNOrvak::dsNoDevice);
    EXPECT_EQ(control.findChild<QLabel *>(QStringLiteral("lblNotes"))->text(),
              u"No Soundcard Installed");
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

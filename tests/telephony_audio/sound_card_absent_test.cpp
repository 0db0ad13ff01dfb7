// Run by CTest with PULSE_SERVER pointing at nothing and no ALSA device: the
// system lists no audio output.

#include "control/display_states.h"
#include "control/message_control.h"
#include "telephony/clsPhoneHelp.h"
#include "telephony/sound_card_player.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"

#include <gtest/gtest.h>

#include <QDir>
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
    const modVNQRN::Error refused = thrownError([&] { player.play(message); });
    EXPECT_EQ(refused.number(), modVNQRN::errUnexpected);
    EXPECT_EQ(refused.description(), u"No sound card is installed");
    EXPECT_FALSE(player.isPlaying());

    VNOrvak::MessageControl control;
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    control.InitializeForID(QStringLiteral("42"));
    EXPECT_EQ(control.core().lastState(), VNOrvak::dsNoDevice);
    EXPECT_EQ(control.findChild<QLabel *>(QStringLiteral("lblNotes"))->text(),
              u"No Soundcard Installed");
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// Should a play reach the sound-card route anyway (the output gone since the
// route was opened), it is reported as "No sound card is installed" (440),
// whatever the line half of the board, not as a line without a trunk.
TEST(SoundCardAbsentTest, APlayOnTheSoundCardRouteIsReportedAsNoSoundCard)
{
    TestWorkstation ws;
    RecordingPrompter prompter;
    const QString local = ws.root() + u"local/";
    QDir().mkpath(local);
    modVNQRN::gsLocalPath = local;
    modVNQRN::gsLocalIni = local + u"QelLocal.ini";
    const QString message = local + u"N0000000042A.vox";
    TestWorkstation::writeFile(message, QByteArray(800, '\x11'));
    for (const char *driver : {"none", "simulated"}) {
        SCOPED_TRACE(driver);
        TestWorkstation::writeFile(modVNQRN::gsLocalIni,
                                   QByteArray("[VoiceBoard]\nWaveDevice=soundcard\nDriver=") +
                                       driver + "\n");
        prompter.boxes.clear();
        clsPhoneHelp helper;
        EXPECT_FALSE(helper.SoundCardIsInstalled());
        ASSERT_TRUE(helper.ConnectSoundCard());
        helper.PlayWithSoundCard(local + u"TEMP.vox", message);
        ASSERT_EQ(prompter.boxes.size(), 1);
        EXPECT_TRUE(
            prompter.boxes[0].text.startsWith(u"Error 440 { 440-No sound card is installed }"))
            << qPrintable(prompter.boxes[0].text);
        EXPECT_EQ(TestWorkstation::readFile(message), QByteArray(800, '\x11'));
    }
}

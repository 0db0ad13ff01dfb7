// The demo installation: what a workstation pointed at it finds, and that
// making it never destroys anything but an earlier demo.

#include "demo/demo_installation.h"
#include "demo/message_voice.h"

#include "control/entity_summary.h"
#include "control/message_control_core.h"

#include "support/fake_clock.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/profile.h"
#include "telephony/vox_decoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class DemoInstallationTest : public ::testing::Test
{
protected:
    DemoInstallation make(DemoRoute route = DemoRoute::Telephone, DemoVoice voice = DemoVoice::Tone)
    {
        options.folder = ws.root() + u"demo/";
        options.route = route;
        options.voice = voice;
        return makeDemoInstallation(options);
    }
    static QString read(const DemoInstallation &demo, const char *section, const char *key)
    {
        return modVNQRN::ReadProfileString(QString::fromLatin1(section), QString::fromLatin1(key),
                                           u"(missing)"_s, demo.localIni);
    }

    TestWorkstation ws;
    DemoOptions options;
};

// Made just after midnight: the messages of the last hours must still count
// as today's, the older ones not.
TEST_F(DemoInstallationTest, AWorkstationPointedAtItFindsADozenMessagesForFiveEntities)
{
    FakeClock clock(QDateTime(QDate(2026, 3, 14), QTime(0, 20)));
    options.timeScale = 0.25;
    const DemoInstallation demo = make();
    EXPECT_EQ(demo.tones, 12);

    // Pointed at it, as its env.sh does.
    TestWorkstation::useFolders(demo.appDataFolder, demo.machineFolder, demo.systemFolder);
    modVNQRN::InitEnvironment(u"VN"_s);
    EXPECT_EQ(modVNQRN::gsLocalIni, demo.localIni);
    EXPECT_EQ(modVNQRN::gsDataPath + u"messages/", demo.messagesFolder);
    // The telephone route on the simulated board is what the tour test runs.
    EXPECT_EQ(read(demo, "VoiceBoard", "WaveDevice"), u"simulated");
    EXPECT_EQ(read(demo, "VoiceBoard", "TimeScale"), u"0.25");
    EXPECT_EQ(read(demo, "Zuzidivuz", "SoundCard"), u"0");

    MessageControlCore core;
    core.setTimerEnabled(false);
    core.store().SetMessagesPath();
    core.tmrCalls_Timer();
    const MessageStore &store = core.store();
    EXPECT_EQ(store.mlMsgCnt, 12);
    EXPECT_EQ(store.mlNewMsgCnt, 5);
    EXPECT_EQ(store.mlMsgTodayCnt, 3);
    EXPECT_EQ(summarizeEntities(store.msMsgList).entities.size(), 5);

    // Real message audio: as long as speech would be, not silence.
    for (const QFileInfo &file : QDir(demo.messagesFolder).entryInfoList(QDir::Files)) {
        const VoiceBocxLib::PcmAudio audio = VoiceBocxLib::decodeVoxFile(file.filePath());
        EXPECT_GE(audio.durationMs(), 2000) << qPrintable(file.fileName());
        EXPECT_GT(*std::max_element(audio.samples.begin(), audio.samples.end()), 4000);
    }
}

TEST_F(DemoInstallationTest, MakingItAgainReplacesTheEarlierDemoButNoOtherFolder)
{
    DemoInstallation demo = make();
    // The operator heard a message and left a file behind.
    ASSERT_TRUE(QFile::rename(demo.messagesFolder + u"NA000001001A.vox",
                              demo.messagesFolder + u"MA000001001A.vox"));
    TestWorkstation::writeFile(demo.folder + u"install/leftover.txt", "x");

    demo = make(DemoRoute::SoundCard);
    EXPECT_TRUE(QFileInfo(demo.messagesFolder + u"NA000001001A.vox").isFile());
    EXPECT_FALSE(QFileInfo(demo.messagesFolder + u"MA000001001A.vox").exists());
    EXPECT_FALSE(QFileInfo(demo.folder + u"install/leftover.txt").exists());
    EXPECT_EQ(read(demo, "Zuzidivuz", "SoundCard"), u"1");
    EXPECT_EQ(read(demo, "VoiceBoard", "WaveDevice"), u"soundcard");

    // Somebody's folder: refused, untouched.
    const QString other = ws.root() + u"mine/";
    TestWorkstation::writeFile(other + u"notes.txt", "keep me");
    options.folder = other;
    const modVNQRN::Error refused = thrownError([&] { makeDemoInstallation(options); });
    EXPECT_EQ(refused.number(), modVNQRN::errFileExists);
    EXPECT_TRUE(refused.description().contains(other)) << qPrintable(refused.description());
    EXPECT_EQ(QDir(other).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{u"notes.txt"_s});
    EXPECT_EQ(TestWorkstation::readFile(other + u"notes.txt"), "keep me");

    // A file where the folder should be.
    options.folder = other + u"notes.txt";
    EXPECT_THROW(makeDemoInstallation(options), modVNQRN::Error);
}

// A synthesizer that fails costs the speech, not the demo.
TEST_F(DemoInstallationTest, ABrokenSynthesizerLeavesTonesAndSaysSo)
{
    const QString tools = ws.root() + u"bin/";
    TestWorkstation::writeFile(tools + u"espeak-ng", "#!/bin/sh\necho 'no voices' >&2\nexit 1\n");
    TestWorkstation::writeFile(tools + u"sox", "#!/bin/sh\nexit 0\n");
    for (const QString &tool : {u"espeak-ng"_s, u"sox"_s})
        QFile::setPermissions(tools + tool, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", tools.toUtf8());
    const DemoInstallation demo = make(DemoRoute::Telephone, DemoVoice::Auto);
    qputenv("PATH", path);

    EXPECT_EQ(demo.spoken, 0);
    EXPECT_EQ(demo.tones, 12);
    ASSERT_EQ(demo.notes.size(), 12);
    EXPECT_TRUE(demo.notes[0].startsWith(u"NA000001001A: espeak-ng failed (exit 1): no voices"))
        << qPrintable(demo.notes[0]);
    EXPECT_EQ(QDir(demo.messagesFolder).entryList(QDir::Files).size(), 12);
}

TEST_F(DemoInstallationTest, SpeechWhenTheToolsAreInstalled)
{
    if (!speechToolsAvailable())
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    const QString path = ws.root() + u"hello.vox";
    writeSpokenMessage(path, u"Hello, this is a test message."_s, u"en-us+f3"_s, ws.root());
    const VoiceBocxLib::PcmAudio audio = VoiceBocxLib::decodeVoxFile(path);
    EXPECT_GT(audio.durationMs(), 1000);
    EXPECT_LT(audio.durationMs(), 6000);
    EXPECT_GT(*std::max_element(audio.samples.begin(), audio.samples.end()), 8000);

    EXPECT_THROW(writeSpokenMessage(path, u"x"_s, u"nosuchvoice"_s, ws.root()), modVNQRN::Error);
    EXPECT_GT(VoiceBocxLib::decodeVoxFile(path).durationMs(), 1000); // the earlier file stays
}

} // namespace

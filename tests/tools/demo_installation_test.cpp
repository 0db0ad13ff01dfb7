// The demo installation: what a workstation pointed at it finds, and that
// making it never destroys anything but an earlier demo.

#include "demo/demo_installation.h"
#include "demo/message_voice.h"

#include "control/entity_summary.h"
#include "control/message_control_core.h"

#include "support/fake_clock.h"
#include "support/test_environment.h"

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

namespace
{

class DemoInstallationTest : public ::testing::Test
{
protected:
    DemoInstallation make(DemoOptions options)
    {
        if (options.folder.isEmpty())
            options.folder = folder();
        return makeDemoInstallation(options);
    }
    static DemoOptions tones(const QDateTime &now = QDateTime(QDate(2026, 3, 14), QTime(10, 0)))
    {
        DemoOptions options;
        options.voice = DemoVoice::Tone;
        options.route = DemoRoute::Telephone;
        options.now = now;
        return options;
    }
    QString folder() const { return ws.root() + u"demo/"; }
    // Points this workstation at the demo, as its env.sh does.
    static void pointAt(const DemoInstallation &demo)
    {
        qputenv("VNORVAK_LOCAL_APPDATA", demo.appDataFolder.toUtf8());
        qputenv("VNORVAK_MACHINE_DIR", demo.machineFolder.toUtf8());
        qputenv("VNORVAK_SYSTEM_DIR", demo.systemFolder.toUtf8());
    }
    static QString read(const DemoInstallation &demo, const char *section, const char *key)
    {
        return modVNQRN::ReadProfileString(QString::fromLatin1(section), QString::fromLatin1(key),
                                           QStringLiteral("(missing)"), demo.localIni);
    }

    TestWorkstation ws;
};

TEST_F(DemoInstallationTest, AWorkstationPointedAtItFindsADozenMessagesForFiveEntities)
{
    FakeClock clock(QDateTime(QDate(2026, 3, 14), QTime(10, 0)));
    DemoOptions options = tones();
    options.timeScale = 0.25;
    const DemoInstallation demo = make(options);
    EXPECT_EQ(demo.tones, 12);
    EXPECT_EQ(demo.spoken, 0);

    pointAt(demo);
    modVNQRN::InitEnvironment(QStringLiteral("VN"));
    EXPECT_EQ(modVNQRN::gsLocalIni, demo.localIni);
    EXPECT_EQ(modVNQRN::gsDataPath + u"messages/", demo.messagesFolder);
    EXPECT_EQ(read(demo, "VoiceBoard", "Driver"), u"simulated");
    EXPECT_EQ(read(demo, "VoiceBoard", "WaveDevice"), u"simulated");
    EXPECT_EQ(read(demo, "VoiceBoard", "TimeScale"), u"0.25");
    EXPECT_EQ(read(demo, "Zuzidivuz", "SoundCard"), u"0");
    EXPECT_NE(modVNQRN::ReadProfileInt(QStringLiteral("Messages"), QStringLiteral("Msgport"), 0,
                                       demo.localIni),
              0);

    MessageControlCore core;
    core.setTimerEnabled(false);
    core.store().SetMessagesPath();
    core.tmrCalls_Timer();
    const MessageStore &store = core.store();
    EXPECT_EQ(store.mlMsgCnt, 12);
    EXPECT_EQ(store.mlNewMsgCnt, 5);
    EXPECT_EQ(store.mlMsgTodayCnt, 3);
    const EntitySummary summary = summarizeEntities(store.msMsgList);
    ASSERT_EQ(summary.entities.size(), 5);
    EXPECT_TRUE(std::all_of(summary.entities.begin(), summary.entities.end(),
                            [](const EntityMessages &e) { return e.messages >= 2; }));

    // Real message audio: as long as speech would be, not silence.
    for (const QFileInfo &file : QDir(demo.messagesFolder).entryInfoList(QDir::Files)) {
        const VoiceBocxLib::PcmAudio audio = VoiceBocxLib::decodeVoxFile(file.filePath());
        EXPECT_GE(audio.durationMs(), 2000) << qPrintable(file.fileName());
        EXPECT_GT(*std::max_element(audio.samples.begin(), audio.samples.end()), 4000);
    }
}

TEST_F(DemoInstallationTest, MessagesOfTheLastHoursStayTodayJustAfterMidnight)
{
    const DemoInstallation demo = make(tones(QDateTime(QDate(2026, 3, 14), QTime(0, 20))));
    for (const char *name : {"NA000001001A", "NA000001002A", "NA000003003B"})
        EXPECT_EQ(QFileInfo(demo.messagesFolder + QString::fromLatin1(name) + u".vox")
                      .lastModified()
                      .date(),
                  QDate(2026, 3, 14))
            << name;
    EXPECT_EQ(QFileInfo(demo.messagesFolder + u"NA000001002B.vox").lastModified().date(),
              QDate(2026, 3, 12));
}

TEST_F(DemoInstallationTest, MakingItAgainReplacesTheEarlierDemoButNoOtherFolder)
{
    DemoInstallation demo = make(tones());
    // The operator heard a message and left a file behind.
    ASSERT_TRUE(QFile::rename(demo.messagesFolder + u"NA000001001A.vox",
                              demo.messagesFolder + u"MA000001001A.vox"));
    TestWorkstation::writeFile(demo.folder + u"install/leftover.txt", "x");

    DemoOptions options = tones();
    options.route = DemoRoute::SoundCard;
    demo = make(options);
    EXPECT_TRUE(QFileInfo(demo.messagesFolder + u"NA000001001A.vox").isFile());
    EXPECT_FALSE(QFileInfo(demo.messagesFolder + u"MA000001001A.vox").exists());
    EXPECT_FALSE(QFileInfo(demo.folder + u"install/leftover.txt").exists());
    EXPECT_EQ(read(demo, "Zuzidivuz", "SoundCard"), u"1");
    EXPECT_EQ(read(demo, "VoiceBoard", "WaveDevice"), u"soundcard");

    // Somebody's folder: refused, untouched.
    const QString other = ws.root() + u"mine/";
    TestWorkstation::writeFile(other + u"notes.txt", "keep me");
    options.folder = other;
    try {
        makeDemoInstallation(options);
        ADD_FAILURE() << "a folder with other files was used";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), modVNQRN::errFileExists);
        EXPECT_TRUE(e.description().contains(other)) << qPrintable(e.description());
    }
    EXPECT_EQ(QDir(other).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("notes.txt")});
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
    QFile::setPermissions(tools + u"espeak-ng", QFile::ReadOwner | QFile::ExeOwner);
    TestWorkstation::writeFile(tools + u"sox", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(tools + u"sox", QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", tools.toUtf8());

    DemoOptions options = tones();
    options.voice = DemoVoice::Auto;
    const DemoInstallation demo = make(options);
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
    writeSpokenMessage(path, QStringLiteral("Hello, this is a test message."),
                       QStringLiteral("en-us+f3"), ws.root());
    const VoiceBocxLib::PcmAudio audio = VoiceBocxLib::decodeVoxFile(path);
    EXPECT_GT(audio.durationMs(), 1000);
    EXPECT_LT(audio.durationMs(), 6000);
    EXPECT_GT(*std::max_element(audio.samples.begin(), audio.samples.end()), 8000);

    EXPECT_THROW(
        writeSpokenMessage(path, QStringLiteral("x"), QStringLiteral("nosuchvoice"), ws.root()),
        modVNQRN::Error);
    EXPECT_GT(VoiceBocxLib::decodeVoxFile(path).durationMs(), 1000); // the earlier file stays
}

} // namespace

#include "phone_fixture.h"

#include "shared/environment.h"
#include "shared/error_log.h"
#include "shared/profile.h"
#include "telephony/voice_board_plugins.h"
#include "telephony/voice_board_registry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

using PhoneConnectionTest = PhoneFixture;

void setProfile(const QString &section, const QString &key, const QString &value)
{
    WriteProfileString(section, key, value, gsLocalIni);
}

} // namespace

TEST_F(PhoneConnectionTest, AnsweredCallClaimsTheLineAndWaitsTheAnswerDelay)
{
    writeIni("[TelMon]\r\nConnectAck=12\r\nRingWait=30\r\n");
    helper();
    // Read again by every call, so a change after construction counts.
    setProfile(u"TelMon"_s, u"AnsPlayDelay"_s, u"5"_s);
    const QDateTime before = clock.now();
    EXPECT_TRUE(helper().ConnectPhone(u"Switchboard"_s));

    EXPECT_EQ(board().dials(), QStringList{u"5551234"_s});
    EXPECT_EQ(board().TrunkChannel(), 2);
    EXPECT_TRUE(board().callUp());
    EXPECT_EQ(board().parameters().value(kParamConnectAck), 1200);
    EXPECT_EQ(board().parameters().value(kParamRingWait), 3000);
    EXPECT_EQ(board().callOptions(), (QList<QList<qint32>>{{2300, 10, 1, 545260558}}));
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
    EXPECT_TRUE(prompter.boxes.isEmpty());
    // The second before dialling and the answer delay, on the injected clock.
    EXPECT_GE(before.msecsTo(clock.now()), 6000);
    EXPECT_LT(before.msecsTo(clock.now()), 6100);
    EXPECT_EQ(portLogTexts().last(2),
              (QStringList{u"Delaying playing by 5 seconds"_s, u"Finshed Delay"_s}));
}

// Status 112 releases the line; any other status keeps it, and the helper goes
// on believing in its route until an operation meets the dead line.
TEST_F(PhoneConnectionTest, AnUnansweredCallReleasesTheLineOnlyOnStatus112)
{
    for (const qint32 status : {kCallFailed, kCallNoAnswer, kCallBusy}) {
        SCOPED_TRACE(status);
        const bool released = status == kCallFailed;
        writeIni(); // a fresh line: no MsgPortUsage
        restart();
        prompter.boxes.clear();
        board().setDialOutcome(status, 1);
        EXPECT_FALSE(helper().ConnectPhone(u"Switchboard"_s));
        ASSERT_EQ(prompter.boxes.size(), 1);
        EXPECT_EQ(prompter.boxes[0].text,
                  u"Phone could not connect to message port 3\r\nMake sure the phone has a ring "
                  u"tone \r\nand is plugged into message port 3");
        EXPECT_EQ(prompter.boxes[0].icon, MsgBoxIcon::Information);
        EXPECT_EQ(hangups->count(), released ? 1 : 0);
        EXPECT_EQ(board().hangUpCount(), released ? 1 : 0);
        EXPECT_EQ(msgPortUsage(), released ? QString() : u"Switchboard"_s);

        board().setDialOutcome(kCallAnswered, 1);
        EXPECT_TRUE(helper().ConnectPhone(u"Switchboard"_s));
        EXPECT_EQ(board().dials().size(), released ? 2 : 1);
        // On a kept line the first operation finds no call: the line is
        // released without a report, and the next connection dials again.
        helper().PlayTone(1);
        EXPECT_EQ(prompter.boxes.size(), 1);
        if (!released) {
            EXPECT_EQ(hangups->count(), 1);
            EXPECT_TRUE(msgPortUsage().isEmpty());
            EXPECT_TRUE(helper().ConnectPhone(u"Switchboard"_s));
            EXPECT_EQ(board().dials().size(), 2);
        }
    }
}

TEST_F(PhoneConnectionTest, LineHeldByAProgramOrNoNameBlocksTheCall)
{
    setProfile(u"Messages"_s, u"MsgPortUsage"_s, u"Switchboard"_s);
    EXPECT_FALSE(helper().ConnectPhone(u"Switchboard"_s));
    EXPECT_FALSE(helper().ConnectPhone(u"Reception"_s));
    EXPECT_FALSE(helper().ConnectPhone(QString()));
    const QString held = u"The message line is being used by program Switchboard\r\n"
                         u"Please return to Switchboard and hangup phone or exit"_s;
    EXPECT_EQ(prompter.texts(),
              (QStringList{held, held, u"Please assign a program name before connecting"_s}));
    EXPECT_TRUE(board().dials().isEmpty());
    EXPECT_EQ(msgPortUsage(), u"Switchboard");

    setProfile(u"Messages"_s, u"MsgPortUsage"_s, QString());
    EXPECT_TRUE(helper().ConnectPhone(u"Reception"_s));
}

TEST_F(PhoneConnectionTest, DisconnectCallHangsUpOnceAndDeletesAnExistingFile)
{
    connected();
    const QString temp = voiceFile(u"TEMP.vox"_s, 1);
    helper().DisconnectCall(temp);
    EXPECT_FALSE(QFileInfo::exists(temp));
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_FALSE(board().callUp());
    EXPECT_TRUE(msgPortUsage().isEmpty());

    // Closed route: nothing happens, no event.
    helper().DisconnectCall(temp);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_EQ(board().hangUpCount(), 1);

    connected();
    helper().DisconnectCall(data + u"missing.vox");
    EXPECT_EQ(hangups->count(), 2);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneConnectionTest, WaitForIdleStateGivesUpAfterThirtySeconds)
{
    connected();
    board().setLineStuckBusy(true);
    const QDateTime before = clock.now();
    helper().WaitForIdleState();
    const qint64 waited = before.msecsTo(clock.now());
    EXPECT_GT(waited, 30000);
    EXPECT_LT(waited, 30100);
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text, u"Waited longer than 30 seconds for an idle state\r\n"
                                      u"Check to make sure messages are not playing");
    EXPECT_EQ(prompter.boxes[0].title, u"Idle State");

    // The sound-card route has no line to wait for.
    helper().DisconnectCall();
    EXPECT_TRUE(helper().ConnectSoundCard());
    const QDateTime card = clock.now();
    helper().WaitForIdleState();
    EXPECT_EQ(card, clock.now());
    EXPECT_EQ(prompter.boxes.size(), 1);
}

// The wall clock set back (or forward) an hour in the middle of a wait
// neither stretches nor cuts it: waits run on the monotonic clock.
TEST_F(PhoneConnectionTest, WaitsIgnoreTheWallClockBeingSet)
{
    for (const qint64 stepMs : {-3600000LL, 3600000LL}) {
        SCOPED_TRACE(stepMs);
        writeIni("[TelMon]\r\nAnsPlayDelay=5\r\n");
        restart();
        prompter.boxes.clear();
        // The pause before dialling is the first wait: step the clock in it.
        bool stepped = false;
        clock.onSleep([&](FakeClock &c) {
            if (!stepped) {
                stepped = true;
                c.stepWallMs(stepMs);
            }
        });
        qint64 start = clock.monotonicMs();
        EXPECT_TRUE(helper().ConnectPhone(u"Switchboard"_s));
        EXPECT_TRUE(stepped);
        // One second before dialling and five of answer delay.
        EXPECT_GE(clock.monotonicMs() - start, 6000);
        EXPECT_LT(clock.monotonicMs() - start, 6100);

        board().setLineStuckBusy(true);
        stepped = false;
        start = clock.monotonicMs();
        helper().WaitForIdleState();
        EXPECT_TRUE(stepped);
        EXPECT_GT(clock.monotonicMs() - start, 30000);
        EXPECT_LT(clock.monotonicMs() - start, 30100);
        EXPECT_EQ(prompter.boxes.size(), 1);
        clock.onSleep({});
        board().setLineStuckBusy(false);
        helper().DisconnectCall();
    }
}

namespace
{

// A board whose hang-up keeps failing once the far end is gone.
class StuckHangUpBoard final : public SimulatedVoiceBoard
{
public:
    using SimulatedVoiceBoard::SimulatedVoiceBoard;
    void HangUp() override
    {
        ++attempts;
        if (CallStatus() == kFarEndGone)
            throw voiceBocxError(vbErrOperationFailed);
        SimulatedVoiceBoard::HangUp();
    }
    int attempts = 0;
};

} // namespace

TEST_F(PhoneConnectionTest, AHangUpThatKeepsFailingEndsAfterOneRetry)
{
    StuckHangUpBoard *stuck = nullptr;
    setVoiceBoardFactory([&](const VoiceBoardConfig &config, std::unique_ptr<WaveDevice> wave) {
        SimulatedVoiceBoard::Settings settings;
        settings.timeScale = config.timeScale;
        auto b = std::make_unique<StuckHangUpBoard>(settings, std::move(wave));
        stuck = b.get();
        return b;
    });
    connected();
    setVoiceBoardFactory({});
    ASSERT_NE(stuck, nullptr);
    stuck->hangUpDuring(SimOp::PlayFile, 1);
    const QString msg = voiceFile(u"TEMP.vox"_s, 5);
    helper().PlayWithVoiceBoard(msg);

    EXPECT_EQ(stuck->attempts, 2);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_TRUE(prompter.boxes.isEmpty());
    // The route is closed: the next play does nothing.
    helper().PlayWithVoiceBoard(msg);
    EXPECT_EQ(stuck->plays().size(), 1);
}

TEST_F(PhoneConnectionTest, UnknownOrFailingDriversFallBackToNoneWithALogLine)
{
    // No settings: no voice board, and nothing to log.
    TestWorkstation::writeFile(gsLocalIni, "");
    EXPECT_EQ(readVoiceBoardConfig(gsLocalIni).waveDevice, u"soundcard");
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(todaysErrorLog().isEmpty());

    TestWorkstation::writeFile(gsLocalIni, "[VoiceBoard]\r\nDriver=Dialogic9\r\n");
    restart();
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_FALSE(helper().SoundCardIsInstalled());
    EXPECT_TRUE(todaysErrorLog().contains(
        u"VN-Orvak - 'VoiceBoard Driver \"dialogic9\": unknown name; using none'\r\n"));
    EXPECT_TRUE(prompter.boxes.isEmpty());
    // The "none" board refuses line work; the helper reports it.
    EXPECT_FALSE(helper().ConnectPhone(u"Switchboard"_s));
    EXPECT_TRUE(prompter.boxes.value(0).text.startsWith(u"Error 31001 "));
    // What the steps before the failure set stays.
    EXPECT_EQ(msgPortUsage(), u"Switchboard");

    registerVoiceBoard(
        u"broken"_s,
        [](const VoiceBoardConfig &, std::unique_ptr<WaveDevice>) -> std::unique_ptr<VoiceBocx> {
            throw std::runtime_error("no card");
        });
    TestWorkstation::writeFile(gsLocalIni,
                               "[VoiceBoard]\r\nDriver=broken\r\nWaveDevice=simulated\r\n");
    restart();
    // The wave half still works behind the fallback board.
    EXPECT_FALSE(helper().VoiceBoardIsInstalled());
    EXPECT_TRUE(helper().SoundCardIsInstalled());
    EXPECT_TRUE(todaysErrorLog().contains(u"Driver \"broken\": no card; using none"));
}

TEST_F(PhoneConnectionTest, PluginsComeFromTheirFolderAndOnesThatCannotLoadFallBackToNone)
{
    // In the build tree as installed: the SIP line beside the libraries.
    EXPECT_TRUE(voiceBoardPluginFolder().endsWith(u"/lib/vnorvak/voice-boards"));
    EXPECT_TRUE(QFile::exists(voiceBoardPluginPath(u"sip"_s)))
        << voiceBoardPluginFolder().toStdString();
    // A name from the settings never reaches another folder.
    for (const QString &name : {u"../sip"_s, u"a/b"_s, u""_s, u"sip.so"_s})
        EXPECT_TRUE(voiceBoardPluginPath(name).isEmpty()) << name.toStdString();

    const QString folder = ws.root() + u"plugins"_s;
    QDir().mkpath(folder);
    qputenv(kVoiceBoardPluginsVariable, folder.toLocal8Bit());
    TestWorkstation::writeFile(folder + u"/libvnorvak_garbled.so", "not a library");
    // A real library that is no plug-in: the product's own.
    QFile::link(QStringLiteral(VNORVAK_SHARED_LIBRARY), folder + u"/libvnorvak_plain.so");
    const struct {
        const char *driver;
        QString logged;
    } cases[] = {
        {"garbled", u"VoiceBoard Driver \"garbled\": plug-in cannot be loaded: "_s},
        {"plain", u"VoiceBoard Driver \"plain\": not a voice-board plug-in: "_s},
        // The folder named replaces the default one.
        {"sip", u"VoiceBoard Driver \"sip\": unknown name; using none"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.driver);
        TestWorkstation::writeFile(gsLocalIni, QByteArray("[VoiceBoard]\r\nDriver=") + c.driver +
                                                   "\r\nWaveDevice=simulated\r\n");
        restart();
        EXPECT_FALSE(helper().VoiceBoardIsInstalled());
        EXPECT_TRUE(helper().SoundCardIsInstalled());
        EXPECT_TRUE(todaysErrorLog().contains(c.logged)) << todaysErrorLog().toStdString();
    }
    qunsetenv(kVoiceBoardPluginsVariable);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// The simulated board plays in scaled real time: the demo's messages last as
// long as they sound, neither cut short nor drawn out.
TEST_F(PhoneConnectionTest, PlaybackLastsAsLongAsTheMessageScaled)
{
    connected();
    board().setTimeScale(0.01);
    const QString msg = voiceFile(u"TEMP.vox"_s, 10); // 10 s -> 100 ms, 80 ms from second 2
    QElapsedTimer timer;
    timer.start();
    board().PlayFile(msg, 1, {}, 2);
    EXPECT_GE(timer.elapsed(), 75);
    EXPECT_LT(timer.elapsed(), 1000);
}

#include "phone_fixture.h"

#include "shared/environment.h"
#include "shared/profile.h"
#include "telephony/voice_board_registry.h"

using namespace modVNQRN;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

using PhoneConnectionTest = PhoneFixture;

void setMsgPortUsage(const QString &program)
{
    WriteProfileString(QStringLiteral("Messages"), QStringLiteral("MsgPortUsage"), program,
                       gsLocalIni);
}

} // namespace

TEST_F(PhoneConnectionTest, AnsweredCallClaimsTheLineAndDialsWithoutDashes)
{
    writeIni("[TelMon]\r\nConnectAck=12\r\nRingWait=30\r\n");
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));

    EXPECT_EQ(board().dials(), QStringList{QStringLiteral("5551234")});
    EXPECT_EQ(board().TrunkChannel(), 2);
    EXPECT_TRUE(board().callUp());
    EXPECT_EQ(board().parameters().value(kParamConnectAck), 1200);
    EXPECT_EQ(board().parameters().value(kParamRingWait), 3000);
    EXPECT_EQ(board().callOptions(), (QList<QList<qint32>>{{2300, 10, 1, 545260558}}));
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_GE(clock.sleptMs(), 1000); // the second before dialling

    // An open route is reused: no box, no second call.
    EXPECT_TRUE(helper().ConnectPhone(QString()));
    EXPECT_EQ(board().dials().size(), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(PhoneConnectionTest, AnswerDelayIsWaitedOnTheInjectedClock)
{
    helper();
    // Read again by every call, so a change after construction counts.
    WriteProfileString(QStringLiteral("TelMon"), QStringLiteral("AnsPlayDelay"),
                       QStringLiteral("5"), gsLocalIni);
    const QDateTime before = clock.now();
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_GE(before.msecsTo(clock.now()), 6000);
    EXPECT_LT(before.msecsTo(clock.now()), 6100);
    const QStringList log = portLogTexts();
    const qsizetype at = log.indexOf(QStringLiteral("Delaying playing by 5 seconds"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(log.value(at + 1), u"Finshed Delay");
}

TEST_F(PhoneConnectionTest, RefusedCallWithStatus112ReleasesTheLine)
{
    board().setDialOutcome(kCallFailed, 1);
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));

    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text,
              u"Phone could not connect to message port 3\r\nMake sure the phone has a ring tone "
              u"\r\nand is plugged into message port 3");
    EXPECT_EQ(prompter.boxes[0].icon, MsgBoxIcon::Information);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_EQ(board().hangUpCount(), 1);
    EXPECT_EQ(board().TrunkChannel(), -1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    // The route is closed: the next attempt dials again.
    board().setDialOutcome(kCallAnswered, 1);
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(board().dials().size(), 2);
}

TEST_F(PhoneConnectionTest, UnansweredCallWithOtherStatusKeepsTheLine)
{
    board().setDialOutcome(kCallNoAnswer, 1);
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(hangups->count(), 0);
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
    // The helper still believes in its route, so it does not dial again...
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(board().dials().size(), 1);
    // ...until an operation meets the dead line: it releases the line quietly,
    // and the next connection dials again.
    helper().PlayTone(1);
    EXPECT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    board().setDialOutcome(kCallAnswered, 1);
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(board().dials().size(), 2);
}

TEST_F(PhoneConnectionTest, LineHeldByAProgramOrNoNameBlocksTheCall)
{
    setMsgPortUsage(QStringLiteral("Switchboard"));
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Reception")));
    EXPECT_FALSE(helper().ConnectPhone(QString()));
    EXPECT_EQ(prompter.texts(),
              (QStringList{u"The message line is being used by program Switchboard\r\n"
                           u"Please return to Switchboard and hangup phone or exit"_s,
                           u"The message line is being used by program Switchboard\r\n"
                           u"Please return to Switchboard and hangup phone or exit"_s,
                           u"Please assign a program name before connecting"_s}));
    EXPECT_TRUE(board().dials().isEmpty());
    EXPECT_EQ(msgPortUsage(), u"Switchboard");

    setMsgPortUsage(QString());
    EXPECT_TRUE(helper().ConnectPhone(QStringLiteral("Reception")));
}

TEST_F(PhoneConnectionTest, MissingPortDialsOnNoTrunkAndReportsTheFailure)
{
    TestWorkstation::writeFile(gsLocalIni,
                               "[VoiceBoard]\r\nDriver=simulated\r\nTimeScale=0.001\r\n");
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(u"Error 31002 "));
    EXPECT_EQ(portLogTexts(0).value(2), u"Trunk Channel=-1");
    // What the steps before the failure set stays.
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
}

TEST_F(PhoneConnectionTest, DisconnectCallHangsUpOnceAndDeletesAnExistingFile)
{
    connected();
    const QString temp = voiceFile(QStringLiteral("TEMP.vox"), 1);
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

    // An idle line returns at once.
    board().setLineStuckBusy(false);
    const QDateTime again = clock.now();
    helper().WaitForIdleState();
    EXPECT_LE(again.msecsTo(clock.now()), 10);
    EXPECT_EQ(prompter.boxes.size(), 1);
}

TEST_F(PhoneConnectionTest, SoundCardRouteNeedsNoIdleWaitAndNoCall)
{
    EXPECT_TRUE(helper().ConnectSoundCard());
    board().setLineStuckBusy(true);
    const QDateTime before = clock.now();
    helper().WaitForIdleState();
    EXPECT_EQ(before, clock.now());
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_TRUE(board().dials().isEmpty());
    EXPECT_EQ(board().TrunkChannel(), -1);
    EXPECT_TRUE(board().mediaRouted());
    const QStringList log = portLogTexts();
    EXPECT_EQ(log.mid(2),
              (QStringList{u"AutoRouteMedia=false"_s, u"TrunkChannel=-1"_s, u"MediaChannel=1"_s}));
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
    helper().PlayWithVoiceBoard(voiceFile(QStringLiteral("TEMP.vox"), 5));

    EXPECT_EQ(stuck->attempts, 2);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_TRUE(prompter.boxes.isEmpty());
    // The route is closed: the next play does nothing.
    helper().PlayWithVoiceBoard(voiceFile(QStringLiteral("TEMP.vox"), 5));
    EXPECT_EQ(stuck->plays().size(), 1);
}

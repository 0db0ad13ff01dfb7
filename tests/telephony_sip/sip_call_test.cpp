// Placing calls: the telephone answers, is not there, is busy, lets it ring,
// has no common codec; calls from outside are refused.

#include "sip_line_fixture.h"

#include "signal_match.h"
#include "telephony/vox_decoder.h"
#include "test_message.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace VoiceBocxLib;

namespace
{

// Each test starts a telephone of its own kind.
class SipCallTest : public SipLineFixture
{
protected:
    static void SetUpTestSuite()
    {
        skipReason = BaresipPhone::missing();
        if (!skipReason.isEmpty())
            std::printf("%s\n", qPrintable(skipReason));
    }

    void SetUp() override
    {
        if (!skipReason.isEmpty())
            GTEST_SKIP() << skipReason.toStdString();
        board = std::make_unique<SipVoiceBoard>(loopbackSettings(), nullptr);
        board->setTrunkChannel(0);
    }

    void TearDown() override
    {
        if (board && phone && board->callUp())
            hangUpAndWait();
        board.reset();
        phone.reset();
    }

    void startOwnPhone(const BaresipPhone::Options &options)
    {
        phone = std::make_unique<BaresipPhone>();
        ASSERT_TRUE(phone->start(options)) << phone->failure().toStdString();
    }

    // Dials and says how long Dial blocked.
    qint64 timedDial(const QString &number)
    {
        QElapsedTimer clock;
        clock.start();
        board->Dial(number);
        return clock.elapsed();
    }
};

} // namespace

TEST_F(SipCallTest, NoTelephoneAtTheAddressFailsAfterTheAnswerTime)
{
    const quint16 nobody = freeLoopbackPort();
    board->SetParameter(kParamConnectAck, 40); // 0.4 s
    const qint64 took = timedDial(u"phone@127.0.0.1:" + QString::number(nobody));
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_GE(took, 380);
    EXPECT_LT(took, 1500);
    EXPECT_FALSE(board->callUp());
    EXPECT_EQ(board->ChannelState(), kChannelIdle);
}

TEST_F(SipCallTest, ABusyTelephoneFailsTheCallAtOnce)
{
    BaresipPhone::Options options;
    options.answerMode = QStringLiteral("manual");
    options.rejectCalls = true;
    startOwnPhone(options);
    const qint64 took = timedDial(phone->address());
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(board->lastCallOutcome().startsWith(u"486"))
        << board->lastCallOutcome().toStdString();
    EXPECT_LT(took, 3000);
}

TEST_F(SipCallTest, ATelephoneThatOnlyRingsIsGivenUpAfterTheRingTime)
{
    BaresipPhone::Options options;
    options.answerMode = QStringLiteral("manual");
    startOwnPhone(options);
    board->SetParameter(kParamRingWait, 50); // 0.5 s
    qint32 stateWhileRinging = 0;
    QTimer::singleShot(200, [&] { stateWhileRinging = board->ChannelState(); });
    const qint64 took = timedDial(phone->address());
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_EQ(stateWhileRinging, kChannelDialling);
    EXPECT_EQ(board->ChannelState(), kChannelIdle);
    EXPECT_GE(took, 480);
    EXPECT_LT(took, 2500);
    // The telephone stops ringing.
    EXPECT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED")));

    // Hanging up while it rings gives the call up at once.
    board->SetParameter(kParamRingWait, 3000);
    QTimer ringing;
    QObject::connect(&ringing, &QTimer::timeout, [&] {
        if (phone->count(QStringLiteral("CALL_INCOMING")) == 2) {
            ringing.stop();
            board->HangUp();
        }
    });
    ringing.start(5);
    EXPECT_LT(timedDial(phone->address()), 2000);
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED"), 2));
}

TEST_F(SipCallTest, ACallWithoutACommonCodecFailsAndTheSecondCodecIsUsedWhenOffered)
{
    BaresipPhone::Options options;
    options.codecs = QStringLiteral("pcma");
    startOwnPhone(options);
    SipSettings settings = loopbackSettings();
    settings.codecs = {SipCodec::Pcmu};
    board = std::make_unique<SipVoiceBoard>(settings, nullptr);
    board->setTrunkChannel(0);
    board->Dial(phone->address());
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(board->lastCallOutcome().startsWith(u"488"))
        << board->lastCallOutcome().toStdString();

    settings.codecs = {SipCodec::Pcmu, SipCodec::Pcma};
    board = std::make_unique<SipVoiceBoard>(settings, nullptr);
    board->setTrunkChannel(0);
    callPhone();
    const QString path = messageFile(speechLikeMessage(1500));
    board->PlayFile(path);
    EXPECT_GT(findSignal(reference, phone->waitHeardMore()).correlation, 0.95);
}

TEST_F(SipCallTest, CallsFromOutsideAreRefused)
{
    startOwnPhone({});
    int hangups = 0;
    board->setCallerHangupHandler([&] { ++hangups; });
    phone->dial(u"sip:console@127.0.0.1:" + QString::number(board->sipPort()));
    ASSERT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED")));
    EXPECT_TRUE(phone->param(QStringLiteral("CALL_CLOSED")).startsWith(u"603"))
        << phone->param(QStringLiteral("CALL_CLOSED")).toStdString();
    EXPECT_FALSE(board->callUp());
    EXPECT_EQ(hangups, 0);

    // Refusing it left the line free for its own call.
    callPhone();
}

TEST_F(SipCallTest, ANumberThatCannotBeDialledFailsWithoutACall)
{
    board->Dial(QStringLiteral("5551234")); // no telephone system to send it to
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(board->lastCallOutcome().contains(u"SipServer"));
    EXPECT_FALSE(board->callUp());
}

// The telephony helper over a real call: the operator's telephone (baresip)
// rings, hears the beeps and the message, can pause and hang up; a telephone
// that is not there or is busy gives the helper's box and frees the line.

#include "phone_fixture.h"

#include "baresip_phone.h"
#include "signal_match.h"
#include "telephony/vox_decoder.h"
#include "test_message.h"

#include "shared/environment.h"

#include <QTimer>

#include <cstdio>

using namespace modVNQRN;
using namespace VoiceBocxLib;

namespace
{

const QString kNotConnected =
    QStringLiteral("Phone could not connect to message port 3\r\nMake sure the phone has a ring "
                   "tone \r\nand is plugged into message port 3");

class SipPhoneHelpTest : public PhoneFixture
{
protected:
    static void SetUpTestSuite()
    {
        skipReason = BaresipPhone::missing();
        if (skipReason.isEmpty()) {
            telephone = std::make_unique<BaresipPhone>();
            if (!telephone->start({}))
                skipReason = u"the telephone does not start: " + telephone->failure();
        }
        if (!skipReason.isEmpty())
            std::printf("%s\n", qPrintable(skipReason));
    }
    static void TearDownTestSuite() { telephone.reset(); }

    void SetUp() override
    {
        if (!skipReason.isEmpty())
            GTEST_SKIP() << skipReason.toStdString();
        telephone->clearRecordings();
        useTelephone(telephone->address());
    }

    void TearDown() override
    {
        if (phone)
            phone->DisconnectCall();
    }

    // Settings of a workstation whose message line calls `address`; the
    // line's time-outs run ten times faster.
    void useTelephone(const QString &address)
    {
        TestWorkstation::writeFile(
            gsLocalIni, "[VoiceBoard]\r\nDriver=sip\r\nWaveDevice=none\r\nSipAddress=127.0.0.1\r\n"
                        "SipPort=0\r\n"
                        "SipRtpPorts=20000-40000\r\nTimeScale=0.1\r\n"
                        "[TelMon]\r\nConnectAck=1\r\nRingWait=2\r\n"
                        "[Messages]\r\nMsgport=3\r\nConnectString=" +
                            address.toUtf8() + "\r\n");
    }

    static inline std::unique_ptr<BaresipPhone> telephone;
    static inline QString skipReason;
};

} // namespace

TEST_F(SipPhoneHelpTest, TheTelephoneHearsTheBeepAndTheMessageAndAPauseKeepsTheSecond)
{
    const QString message = data + u"M000000042.vox";
    writeVoxFile(message, speechLikeMessage(4000));
    const QVector<qint16> reference = decodeVoxFile(message).samples;
    const QString temp = local + u"TEMP.vox";

    ASSERT_TRUE(helper().VoiceBoardIsInstalled());
    ASSERT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
    ASSERT_TRUE(telephone->waitFor(QStringLiteral("CALL_ESTABLISHED"),
                                   telephone->count(QStringLiteral("CALL_ESTABLISHED"))));

    QString paused;
    // Half a second of beep, then 1.3 s of the message.
    QTimer::singleShot(500 + 1300, [&] { paused = helper().PauseMsg(); });
    helper().PlayWithVoiceBoard(temp, message, QStringLiteral("#"), 0, 0);
    EXPECT_EQ(paused, u"1");
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();

    qint32 skip = paused.toInt();
    const qsizetype mark = telephone->heard().size();
    helper().PlayWithVoiceBoard(temp, message, QStringLiteral("#"), skip, 0);
    const QVector<qint16> tail = reference.mid(8000);
    const QVector<qint16> heard = telephone->waitHeard(mark + 4000 + tail.size() + 2400);
    EXPECT_GT(findSignal(tail, heard.mid(mark)).correlation, 0.95);
    // Before the message: a single beep of 0.4 s at 800 Hz.
    const auto [first, end] = soundSpan(heard.mid(0, 4000), 1000);
    EXPECT_NEAR(double(end - first) / 8.0, 400.0, 15.0);
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(SipPhoneHelpTest, ATelephoneThatIsNotThereGivesTheBoxAndFreesTheLine)
{
    useTelephone(u"phone@127.0.0.1:" + QString::number(freeLoopbackPort()));
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(prompter.texts(), QStringList{kNotConnected});
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(portLogTexts().contains(u"Connection failed"));
}

TEST_F(SipPhoneHelpTest, ABusyTelephoneGivesTheBoxAndTheNextCallRingsAgain)
{
    BaresipPhone busy;
    BaresipPhone::Options options;
    options.answerMode = QStringLiteral("manual");
    options.rejectCalls = true;
    ASSERT_TRUE(busy.start(options)) << busy.failure().toStdString();
    useTelephone(busy.address());
    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(prompter.texts(), QStringList{kNotConnected});
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_EQ(busy.count(QStringLiteral("CALL_INCOMING")), 1);

    EXPECT_FALSE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_EQ(busy.count(QStringLiteral("CALL_INCOMING")), 2);
}

TEST_F(SipPhoneHelpTest, HangingUpMidMessageClosesTheRouteWithoutABox)
{
    const QString message = data + u"M000000042.vox";
    writeVoxFile(message, speechLikeMessage(5000));
    ASSERT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    QTimer::singleShot(1500, [] { telephone->hangUp(); });
    helper().PlayWithVoiceBoard(local + u"TEMP.vox", message, QStringLiteral("#"), 0, 0);
    EXPECT_EQ(hangups->count(), 1);
    EXPECT_TRUE(msgPortUsage().isEmpty());
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();

    // The next connection calls the telephone again.
    const int established = telephone->count(QStringLiteral("CALL_ESTABLISHED"));
    ASSERT_TRUE(helper().ConnectPhone(QStringLiteral("Switchboard")));
    EXPECT_TRUE(telephone->waitFor(QStringLiteral("CALL_ESTABLISHED"), established + 1));
}

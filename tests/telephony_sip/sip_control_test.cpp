// The control's buttons over a real telephone line: the operator's telephone
// (baresip) is called, hears the messages, presses a stop key, is paused
// (silenced at once) and resumed, hangs up; a telephone that is not there, busy, only rings or has
// no common codec leaves the control saying so; the sample host's --phone
// route reaches the telephone whatever the settings name.

#include "control/display_states.h"
#include "control/message_control.h"
#include "host/phone_route.h"

#include "message_folder.h"
#include "signal_match.h"
#include "sip_line_fixture.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "test_message.h"

#include "shared/profile.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/voice_board_registry.h"
#include "telephony/vox_decoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace VNOrvak;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

// Message k of a test: its own stretch of speech, so that messages can be
// told apart in what the telephone heard.
QVector<qint16> speech(int k, int ms)
{
    const qsizetype offset = qsizetype(k) * 5300;
    return speechLikeMessage(ms + int(offset / 8)).mid(offset, qsizetype(ms) * 8);
}

class SipControlTest : public PhoneSuite
{
protected:
    static void SetUpTestSuite() { startPhone(); }

    void SetUp() override
    {
        PhoneSuite::SetUp();
        if (IsSkipped())
            return;
        QDir().mkpath(messages());
        // The line's time-outs run ten times faster: 0.4 s to answer, 0.5 s of ringing.
        ws.writeLocalIni("SoundCard=0\n[Messages]\nMsgTimer=0\nMsgport=1\nConnectString=" +
                         phone->address().toUtf8() +
                         "\n[TelMon]\nConnectAck=4\nRingWait=5\n[VoiceBoard]\nDriver=sip\n"
                         "WaveDevice=none\nSipAddress=127.0.0.1\nSipPort=0\n"
                         "SipRtpPorts=20000-40000\nTimeScale=0.1\n");
    }

    void TearDown() override
    {
        setVoiceBoardFactory({});
        if (IsSkipped())
            return;
        control.Terminate();
        phone->waitFor(QStringLiteral("CALL_CLOSED"),
                       phone->count(QStringLiteral("CALL_ESTABLISHED")), 2000);
    }

    QString messages() const { return ws.messagesFolder(); }
    void setting(const char *section, const char *key, const QString &value)
    {
        modVNQRN::WriteProfileString(QString::fromUtf8(section), QString::fromUtf8(key), value,
                                     ws.localIni());
    }
    // Writes message `name` of entity 42 holding speech(k, ms); returns what it decodes to.
    QVector<qint16> message(const QString &name, int k, int ms)
    {
        writeMessageFile(messages(), name + u".vox", QDateTime(QDate(2026, 3, 14), QTime(8, k)),
                         encodeVox(speech(k, ms)));
        return decodeVoxBytes(encodeVox(speech(k, ms))).samples;
    }
    static void start(MessageControl &console)
    {
        console.InitializeForProgram(QStringLiteral("VN-Console"));
        console.InitializeForID(QStringLiteral("42"));
    }
    template <typename T> T *child(const char *name, MessageControl *in = nullptr)
    {
        return (in ? in : &control)->findChild<T *>(QString::fromUtf8(name));
    }

    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
    MessageControl control;
};

} // namespace

TEST_F(SipControlTest, AStopKeyDuringMessageTwoMovesOnToMessageThree)
{
    const QVector<qint16> one = message(QStringLiteral("N0000000042A"), 1, 1000);
    const QVector<qint16> two = message(QStringLiteral("M0000000042B"), 2, 2000);
    const QVector<qint16> three = message(QStringLiteral("M0000000042C"), 3, 1000);
    start(control);
    const auto messageTwo = [&] {
        return child<QLabel>("lblMessages")->text() == u"2 of 3 messages" && linePlaying();
    };
    when(&control, messageTwo, 1000, [] { phone->pressKey(u'5'); });
    control.ClickPlayAllMsgButton();
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));

    // Each message is heard as it decodes (after a lag search); the first in full,
    // neither its first nor its last 100 ms lost.
    const QVector<qint16> heard = phone->waitHeardMore();
    const SignalMatch first = findSignal(one, heard);
    const SignalMatch second = findSignal(two.mid(0, 6000), heard);
    const SignalMatch third = findSignal(three, heard);
    EXPECT_GT(first.correlation, 0.95);
    EXPECT_GT(correlationAt(one, heard, first.lag, 0, 800), 0.95);
    EXPECT_GT(correlationAt(one, heard, first.lag, one.size() - 800, 800), 0.95);
    EXPECT_GT(second.correlation, 0.95);
    EXPECT_GT(third.correlation, 0.95);
    // Message 3 began about a second into message 2 (after its beep), not after all of it.
    EXPECT_LT(third.lag - second.lag, 8000 * 2);
    EXPECT_GT(third.lag - second.lag, 8000);
    EXPECT_EQ(child<QPushButton>("cmdPlayAll")->text(), u"&Play");
}

TEST_F(SipControlTest, PauseSilencesAtOnceAndEachResumeGoesOnFromTheSecondReached)
{
    const QVector<qint16> whole = message(QStringLiteral("N0000000042A"), 1, 3000);
    start(control);
    // Plays (or resumes) and pauses 1.2 s into the message: the play's click
    // returns at once. What the telephone has heard in the call so far.
    const auto playAndPause = [&] {
        QElapsedTimer clock;
        qint64 pausedAt = 0;
        when(&control, linePlaying, 1200, [&] {
            pausedAt = clock.elapsed();
            control.ClickPlayAllMsgButton();
        });
        clock.start();
        control.ClickPlayAllMsgButton();
        EXPECT_LT(clock.elapsed() - pausedAt, 100);
        EXPECT_EQ(child<QPushButton>("cmdPlayAll")->text(), u"Res&ume");
        EXPECT_EQ(control.core().lastState(), dsPaused);
        return phone->waitHeardMore();
    };
    const QVector<qint16> first = playAndPause();
    // The telephone heard 1.2 s of the message, nothing after the pause.
    const qint64 from = findSignal(whole.mid(0, 4000), first).lag;
    EXPECT_NEAR(double(soundSpan(first.mid(from)).second) / 8.0, 1200.0, 100.0);
    EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox"));
    const QVector<qint16> second = playAndPause().mid(first.size());
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(child<QPushButton>("cmdPlayAll")->text(), u"&Play");
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));
    const QVector<qint16> third = phone->waitHeardMore().mid(first.size() + second.size());

    // Resumed at second 1, then at second 2 (the skipped second not counted
    // again); just before each came the beep, not the half second before.
    for (const auto &[resumed, at] : {std::pair{second, 1}, std::pair{third, 2}}) {
        SCOPED_TRACE(at);
        const SignalMatch match = findSignal(whole.mid(at * 8000, 6000), resumed);
        EXPECT_GT(match.correlation, 0.95);
        EXPECT_LT(correlationAt(whole.mid(at * 8000 - 4000, 4000), resumed, match.lag - 4000), 0.5);
        EXPECT_GE(match.lag, 4000);
    }
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
}

TEST_F(SipControlTest, AHangUpEndsThePlaybackAndTheNextPlayCallsAgain)
{
    message(QStringLiteral("N0000000042A"), 1, 1000);
    message(QStringLiteral("N0000000042B"), 2, 500);
    start(control);
    const int calls = phone->count(QStringLiteral("CALL_ESTABLISHED"));
    when(&control, linePlaying, 500, [] { phone->hangUp(); });
    control.ClickPlayAllMsgButton();
    EXPECT_FALSE(control.core().mbConnected);
    EXPECT_EQ(child<QPushButton>("cmdPlayAll")->text(), u"&Play");
    EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox")); // not heard to its end
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();

    control.ClickPlayAllMsgButton();
    EXPECT_EQ(phone->count(QStringLiteral("CALL_ESTABLISHED")), calls + 2);
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042B.vox"));
}

// Deleted during a play: the telephone hears the call end, and the message
// cut off stays new.
TEST_F(SipControlTest, AControlDeletedDuringAPlayHangsUpTheCall)
{
    message(QStringLiteral("N0000000042A"), 1, 2000);
    auto console = std::make_unique<MessageControl>();
    start(*console);
    const int closed = phone->count(QStringLiteral("CALL_CLOSED"));
    when(&control, linePlaying, 300, [&] { console.reset(); });
    console->ClickPlayAllMsgButton();
    EXPECT_EQ(console, nullptr);
    EXPECT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED"), closed + 1, 3000));
    EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(SipVoiceBoard::last(), nullptr);
}

TEST_F(SipControlTest, ACallThatFailsLeavesUnableToMakeConnectionInItsTime)
{
    message(QStringLiteral("N0000000042A"), 1, 500);
    setting("VoiceBoard", "SipCodecs", QStringLiteral("PCMU"));
    BaresipPhone::Options busy, ringing, aLawOnly;
    busy.answerMode = ringing.answerMode = QStringLiteral("manual");
    busy.rejectCalls = true;
    aLawOnly.codecs = QStringLiteral("pcma");
    const struct {
        const char *what;
        const BaresipPhone::Options *options; // none: nobody at the address
        int minMs;
        int maxMs;
        const char *outcome;
    } cases[] = {
        {"nobody there", nullptr, 380, 1500, "no response from the far end"},
        {"busy", &busy, 0, 1000, "486"},
        {"only ringing", &ringing, 480, 1500, "not answered within the ring time"},
        {"no common codec", &aLawOnly, 0, 1000, "488"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        BaresipPhone telephone;
        ASSERT_TRUE(!c.options || telephone.start(*c.options)) << telephone.failure().toStdString();
        setting("Messages", "ConnectString",
                c.options ? telephone.address()
                          : u"phone@127.0.0.1:"_s + QString::number(freeLoopbackPort()));
        prompter.boxes.clear();
        MessageControl console; // reads the new number
        start(console);
        QElapsedTimer clicked;
        clicked.start();
        console.ClickPlayAllMsgButton();
        EXPECT_GE(clicked.elapsed(), c.minMs);
        EXPECT_LT(clicked.elapsed(), c.maxMs);
        EXPECT_TRUE(
            SipVoiceBoard::last()->lastCallOutcome().startsWith(QLatin1StringView(c.outcome)))
            << SipVoiceBoard::last()->lastCallOutcome().toStdString();
        EXPECT_EQ(child<QLabel>("lblNotes", &console)->text(), u"Unable to make Connection");
        EXPECT_EQ(prompter.texts(),
                  QStringList{u"Phone could not connect to message port 1\r\nMake sure the "
                              u"phone has a ring tone \r\nand is plugged into message port 1"_s});
        EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox"));
        EXPECT_TRUE(modVNQRN::ReadProfileString(QStringLiteral("Messages"),
                                                QStringLiteral("MsgPortUsage"), QString(),
                                                ws.localIni())
                        .isEmpty());
        if (c.options) { // the telephone is not left ringing
            EXPECT_TRUE(telephone.waitFor(QStringLiteral("CALL_CLOSED")));
        }
        console.Terminate();
    }
}

TEST_F(SipControlTest, ABrokenLineSettingShowsNoVoiceBoardInstalled)
{
    message(QStringLiteral("N0000000042A"), 1, 1000);
    setting("VoiceBoard", "SipCodecs", QStringLiteral("G729"));
    start(control);
    EXPECT_EQ(control.core().lastState(), dsNoDevice);
    EXPECT_EQ(child<QLabel>("lblNotes")->text(), u"No Voice Board Installed");
    EXPECT_FALSE(child<QPushButton>("cmdPlayAll")->isEnabled());
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(SipControlTest, TheHostsPhoneOptionCallsThatTelephoneWithTheWorkstationsKeys)
{
    QString why; // a number is not a telephone's own address
    EXPECT_FALSE(usePhoneAt(QStringLiteral("5551234"), why));
    EXPECT_TRUE(why.startsWith(u"not a SIP telephone's address")) << why.toStdString();
    // Whatever board and number the settings name; their message rate still counts.
    setting("VoiceBoard", "Driver", QStringLiteral("simulated"));
    setting("VoiceBoard", "VoxRate", QStringLiteral("6000"));
    setting("Messages", "ConnectString", QStringLiteral("555-0100"));
    writeMessageFile(messages(), u"N0000000042A.vox"_s, QDateTime(QDate(2026, 3, 14), QTime(8, 1)),
                     encodeVox(speechLikeMessage(1000, 6000), 6000));
    ASSERT_TRUE(usePhoneAt(phone->address(), why)) << why.toStdString();
    start(control);
    control.ClickPlayAllMsgButton();
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();

    // Heard whole at its pitch: the same speech at 8000 Hz, neither end lost.
    const QVector<qint16> speech = speechLikeMessage(1000);
    const QVector<qint16> heard = phone->waitHeardMore();
    const SignalMatch match = findSignal(speech, heard);
    EXPECT_GT(match.correlation, 0.95);
    EXPECT_GT(correlationAt(speech, heard, match.lag, 0, 800), 0.95);
    EXPECT_GT(correlationAt(speech, heard, match.lag, speech.size() - 800, 800), 0.95);
}

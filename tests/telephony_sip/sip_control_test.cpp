// The control's buttons over a real telephone line: the operator's telephone
// (baresip) is called, hears the messages, presses a stop key, is paused and
// resumed, hangs up; a telephone that cannot be reached leaves the control
// saying so.

#include "control/display_states.h"
#include "control/message_control.h"

#include "baresip_phone.h"
#include "message_folder.h"
#include "signal_match.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"
#include "test_message.h"

#include "shared/profile.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/vox_decoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

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

class SipControlTest : public ::testing::Test
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
        QDir().mkpath(ws.localAppFolder());
        QDir().mkpath(messages());
        setting("Zuzidivuz", "VnPath", ws.root() + u"inst");
        setting("Zuzidivuz", "SoundCard", QStringLiteral("0"));
        setting("Messages", "MsgTimer", QStringLiteral("0"));
        setting("Messages", "Msgport", QStringLiteral("1"));
        setting("Messages", "ConnectString", telephone->address());
        setting("TelMon", "ConnectAck", QStringLiteral("1"));
        setting("VoiceBoard", "Driver", QStringLiteral("sip"));
        setting("VoiceBoard", "WaveDevice", QStringLiteral("none"));
        setting("VoiceBoard", "SipAddress", QStringLiteral("127.0.0.1"));
        setting("VoiceBoard", "SipPort", QStringLiteral("0"));
        setting("VoiceBoard", "SipRtpPorts", QStringLiteral("20000-40000"));
        // The line's time-outs run ten times faster.
        setting("VoiceBoard", "TimeScale", QStringLiteral("0.1"));
        telephone->clearRecordings();
    }

    void TearDown() override
    {
        if (!skipReason.isEmpty())
            return;
        control.Terminate();
        telephone->waitFor(QStringLiteral("CALL_CLOSED"),
                           telephone->count(QStringLiteral("CALL_ESTABLISHED")), 2000);
    }

    QString ini() const { return ws.localAppFolder() + u"QelLocal.ini"; }
    QString messages() const { return ws.root() + u"inst/VNT/Data/messages/"; }
    void setting(const char *section, const char *key, const QString &value)
    {
        modVNQRN::WriteProfileString(QString::fromUtf8(section), QString::fromUtf8(key), value,
                                     ini());
    }
    // Writes message `name` of entity 42 holding speech(k, ms); returns what it decodes to.
    QVector<qint16> message(const QString &name, int k, int ms)
    {
        writeMessageFile(messages(), name + u".vox", QDateTime(QDate(2026, 3, 14), QTime(8, k)),
                         encodeVox(speech(k, ms)));
        return decodeVoxBytes(encodeVox(speech(k, ms))).samples;
    }
    void start()
    {
        control.InitializeForProgram(QStringLiteral("VN-Console"));
        control.InitializeForID(QStringLiteral("42"));
    }
    QPushButton *button(const char *name)
    {
        return control.findChild<QPushButton *>(QString::fromUtf8(name));
    }
    QLabel *label(const char *name) { return control.findChild<QLabel *>(QString::fromUtf8(name)); }

    // Runs `action` once, `delayMs` after `condition` first holds (checked every 5 ms).
    void when(std::function<bool()> condition, int delayMs, std::function<void()> action)
    {
        auto *watch = new QTimer(&control);
        QObject::connect(watch, &QTimer::timeout, [=] {
            if (!condition())
                return;
            watch->stop();
            watch->deleteLater();
            QTimer::singleShot(delayMs, action);
        });
        watch->start(5);
    }
    static bool messagePlaying()
    {
        return SipVoiceBoard::last() && SipVoiceBoard::last()->ChannelState() == kChannelPlaying;
    }

    static inline std::unique_ptr<BaresipPhone> telephone;
    static inline QString skipReason;

    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
    MessageControl control;
};

} // namespace

TEST_F(SipControlTest, AStopKeyDuringMessageTwoMovesOnToMessageThree)
{
    const QVector<qint16> one = message(QStringLiteral("N0000000042A"), 1, 1500);
    const QVector<qint16> two = message(QStringLiteral("M0000000042B"), 2, 3000);
    const QVector<qint16> three = message(QStringLiteral("M0000000042C"), 3, 1500);
    start();
    when([&] { return label("lblMessages")->text() == u"2 of 3 messages" && messagePlaying(); },
         1000, [] { telephone->pressKey(u'5'); });
    control.ClickPlayAllMsgButton();
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));

    const QVector<qint16> heard = telephone->waitHeardMore();
    const SignalMatch first = findSignal(one, heard);
    const SignalMatch second = findSignal(two.mid(0, 6000), heard);
    const SignalMatch third = findSignal(three, heard);
    EXPECT_GT(first.correlation, 0.95);
    EXPECT_GT(second.correlation, 0.95);
    EXPECT_GT(third.correlation, 0.95);
    // Message 3 began about a second into message 2 (after its beep), not after all of it.
    EXPECT_LT(third.lag - second.lag, 8000 * 2);
    EXPECT_GT(third.lag - second.lag, 8000);
    EXPECT_EQ(button("cmdPlayAll")->text(), u"&Play");
}

TEST_F(SipControlTest, PauseAndResumeGoOnFromTheSecondReached)
{
    const QVector<qint16> whole = message(QStringLiteral("N0000000042A"), 1, 5000);
    start();
    when(messagePlaying, 2500, [&] { control.ClickPlayAllMsgButton(); });
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(button("cmdPlayAll")->text(), u"Res&ume");
    EXPECT_EQ(control.core().lastState(), dsPaused);
    EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox"));

    const qsizetype mark = telephone->waitHeardMore().size();
    control.ClickPlayAllMsgButton();
    EXPECT_EQ(button("cmdPlayAll")->text(), u"&Play");
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));

    // The resumed play starts at second 2 of the message, not at its beginning.
    const QVector<qint16> resumed = telephone->waitHeardMore().mid(mark);
    const SignalMatch match = findSignal(whole.mid(2 * 8000), resumed);
    EXPECT_GT(match.correlation, 0.95);
    // Just before it came the beep, not the half second before second 2.
    EXPECT_LT(correlationAt(whole.mid(12000, 4000), resumed, match.lag - 4000), 0.5);
    EXPECT_GE(match.lag, 4000);
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();
}

TEST_F(SipControlTest, AHangUpEndsThePlaybackAndTheNextPlayCallsAgain)
{
    message(QStringLiteral("N0000000042A"), 1, 3000);
    message(QStringLiteral("N0000000042B"), 2, 1000);
    start();
    const int calls = telephone->count(QStringLiteral("CALL_ESTABLISHED"));
    when(messagePlaying, 1000, [] { telephone->hangUp(); });
    control.ClickPlayAllMsgButton();
    EXPECT_FALSE(control.core().mbConnected);
    EXPECT_EQ(button("cmdPlayAll")->text(), u"&Play");
    EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox")); // not heard to its end
    EXPECT_TRUE(prompter.boxes.isEmpty()) << prompter.texts().join(u'|').toStdString();

    control.ClickPlayAllMsgButton();
    EXPECT_EQ(telephone->count(QStringLiteral("CALL_ESTABLISHED")), calls + 2);
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042A.vox"));
    EXPECT_TRUE(QFile::exists(messages() + u"M0000000042B.vox"));
}

TEST_F(SipControlTest, ATelephoneNotThereOrBusyLeavesUnableToMakeConnection)
{
    message(QStringLiteral("N0000000042A"), 1, 1000);
    BaresipPhone busy;
    BaresipPhone::Options refusing;
    refusing.answerMode = QStringLiteral("manual");
    refusing.rejectCalls = true;
    ASSERT_TRUE(busy.start(refusing)) << busy.failure().toStdString();
    const QStringList telephones{u"phone@127.0.0.1:" + QString::number(freeLoopbackPort()),
                                 busy.address()};
    for (const QString &address : telephones) {
        prompter.boxes.clear();
        setting("Messages", "ConnectString", address);
        MessageControl console; // reads the new number
        console.InitializeForProgram(QStringLiteral("VN-Console"));
        console.InitializeForID(QStringLiteral("42"));
        console.ClickPlayAllMsgButton();
        EXPECT_EQ(console.findChild<QLabel *>(QStringLiteral("lblNotes"))->text(),
                  u"Unable to make Connection");
        EXPECT_EQ(prompter.texts(),
                  QStringList{u"Phone could not connect to message port 1\r\nMake sure the "
                              u"phone has a ring tone \r\nand is plugged into message port 1"_s});
        EXPECT_TRUE(QFile::exists(messages() + u"N0000000042A.vox"));
        EXPECT_TRUE(modVNQRN::ReadProfileString(QStringLiteral("Messages"),
                                                QStringLiteral("MsgPortUsage"), QString(), ini())
                        .isEmpty());
        console.Terminate();
    }
    EXPECT_EQ(busy.count(QStringLiteral("CALL_INCOMING")), 1);
}

TEST_F(SipControlTest, ABrokenLineSettingShowsNoVoiceBoardInstalled)
{
    message(QStringLiteral("N0000000042A"), 1, 1000);
    setting("VoiceBoard", "SipCodecs", QStringLiteral("G729"));
    start();
    EXPECT_EQ(control.core().lastState(), dsNoDevice);
    EXPECT_EQ(label("lblNotes")->text(), u"No Voice Board Installed");
    EXPECT_FALSE(button("cmdPlayAll")->isEnabled());
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// A real call from the SIP line: keys that stop a play and are kept for
// CollectDigits, packets from strangers, beeps, recordings, the far end
// hanging up, hanging up while it rings, calls from outside, the codec
// chosen. Every key and hang-up below is sent from a timer while a call
// blocks, so they also show that the blocking operations keep the event
// loop running.

#include "sip_line_fixture.h"

#include "shared/error.h"
#include "signal_match.h"
#include "telephony/vox_decoder.h"
#include "test_message.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdlib>

using namespace VoiceBocxLib;

namespace
{

class SipMediaTest : public SipLineFixture
{
protected:
    static void SetUpTestSuite()
    {
        BaresipPhone::Options options;
        options.speech = speechLikeMessage(1000);
        startPhone(options);
    }
};

} // namespace

TEST_F(SipMediaTest, OnlyAStopKeyFromTheTelephoneEndsThePlayAndKeysAreKeptForCollectDigits)
{
    const QString path = messageFile(speechLikeMessage(3000));
    callPhone();
    QUdpSocket stranger;
    QElapsedTimer sent;
    when(&timers, linePlaying, 300, [&] {
        // A "#" key event from another address is dropped.
        sent.start();
        QByteArray packet("\x80\x65\x00\x01\x00\x00\x10\x00\x12\x34\x56\x78", 12);
        packet.append("\x0b\x8a\x03\x20", 4);
        for (int i = 0; i < 3; ++i)
            stranger.writeDatagram(packet, QHostAddress::LocalHost, board->rtpPort());
        QTimer::singleShot(200, [] { phone->pressKey(u'1'); }); // not a stop key
        QTimer::singleShot(900, [] {
            for (QChar key : QStringLiteral("#29"))
                phone->pressKey(key);
        });
    });
    board->PlayFile(path, 0, QStringLiteral("#*"));
    EXPECT_GE(sent.elapsed(), 900);
    EXPECT_LT(sent.elapsed(), 1900);
    EXPECT_EQ(board->ElapsedSeconds(), 1);
    EXPECT_EQ(board->ChannelState(), kChannelIdle);
    EXPECT_GE(board->foreignPackets(), 3u);
    // Up to the "#" or the count, whichever comes first.
    EXPECT_EQ(board->CollectDigits(6, 5), QStringLiteral("1#"));
    EXPECT_EQ(board->CollectDigits(2, 5), QStringLiteral("29"));
    EXPECT_LT(sent.elapsed(), 3000); // neither waited out its 5 s
}

TEST_F(SipMediaTest, BeepsSoundAtTheirLengthsAndLevel)
{
    callPhone();
    board->GenerateTone(800, -20, 2);
    board->GenerateTone(800, -20, 1);
    board->GenerateTone(800, -20, 1);
    const QVector<qint16> heard = phone->waitHeardMore();

    // Runs of sound (first and last loud sample): one long beep, then two short ones.
    QList<std::pair<qsizetype, qsizetype>> beeps;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        if (std::abs(heard[i]) <= 1000)
            continue;
        if (beeps.isEmpty() || i - beeps.last().second > 80)
            beeps.append({i, i});
        beeps.last().second = i;
    }
    ASSERT_EQ(beeps.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(double(beeps[i].second - beeps[i].first) / 8.0, i == 0 ? 400.0 : 150.0, 10.0);
    EXPECT_NEAR(double(beeps[1].first - beeps[0].second) / 8.0, 100.0, 10.0);

    // 800 Hz at -20 dB: 1600 zero crossings a second, peaks near 3277.
    const QVector<qint16> beep = heard.mid(beeps[0].first + 400, 1600);
    int crossings = 0;
    for (qsizetype i = 1; i < beep.size(); ++i)
        crossings += (beep[i - 1] < 0) != (beep[i] < 0);
    EXPECT_NEAR(crossings, 320, 4);
    EXPECT_NEAR(*std::max_element(beep.begin(), beep.end()), 3277, 200);
}

TEST_F(SipMediaTest, ARecordingHoldsWhatTheCallerSaidAndEndsOnSilence)
{
    // The telephone speaks for a second from the moment it answers.
    callPhone();
    const QString file = ws.root() + u"recording.vox";
    QElapsedTimer clock;
    clock.start();
    board->RecordFile(file, 3, 30, 1);
    EXPECT_NEAR(double(clock.elapsed()), 2000.0, 400.0);

    const QVector<qint16> recorded = decodeVoxFile(file).samples;
    EXPECT_NEAR(double(recorded.size()) / 8.0, 2000.0, 400.0);
    const SignalMatch match = findSignal(speechLikeMessage(1000).mid(4000), recorded);
    EXPECT_GT(match.correlation, 0.95);

    // The maximum time ends a recording of silence.
    clock.restart();
    board->RecordFile(file, 3, 1, 0);
    EXPECT_NEAR(double(clock.elapsed()), 1000.0, 200.0);
    EXPECT_NEAR(double(decodeVoxFile(file).samples.size()) / 8.0, 1000.0, 200.0);
}

TEST_F(SipMediaTest, TheFarEndHangingUpFailsThePlayAndRaisesCallerHangup)
{
    const QString path = messageFile(speechLikeMessage(3000));
    callPhone();
    int hangups = 0;
    qint32 statusInHandler = 0;
    board->setCallerHangupHandler([&] {
        ++hangups;
        statusInHandler = board->CallStatus();
    });
    when(&timers, linePlaying, 500, [] { phone->hangUp(); });
    try {
        board->PlayFile(path);
        ADD_FAILURE() << "the play outlived the call";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), vbErrFarEndGone);
    }
    EXPECT_EQ(hangups, 1);
    EXPECT_EQ(statusInHandler, kFarEndGone);
    EXPECT_EQ(board->CallStatus(), kFarEndGone);
    EXPECT_EQ(board->ChannelState(), kChannelIdle);
    EXPECT_THROW(board->GenerateTone(800, -20, 1), modVNQRN::Error);
}

TEST_F(SipMediaTest, HangingUpWhileTheTelephoneRingsGivesTheCallUpAtOnce)
{
    BaresipPhone ringing;
    BaresipPhone::Options manual;
    manual.answerMode = QStringLiteral("manual");
    ASSERT_TRUE(ringing.start(manual)) << ringing.failure().toStdString();
    const auto rings = [&] { return ringing.count(QStringLiteral("CALL_INCOMING")) > 0; };
    when(&timers, rings, 0, [this] {
        EXPECT_EQ(board->ChannelState(), kChannelDialling);
        board->HangUp();
    });
    QElapsedTimer clock;
    clock.start();
    board->Dial(ringing.address()); // would ring for 20 s
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(ringing.waitFor(QStringLiteral("CALL_CLOSED")));
}

TEST_F(SipMediaTest, CallsFromOutsideAreRefusedAndTheLineCallsOutInTheCodecTheTelephoneHas)
{
    int hangups = 0;
    board->setCallerHangupHandler([&] { ++hangups; });
    const int closed = phone->count(QStringLiteral("CALL_CLOSED"));
    phone->dial(u"sip:console@127.0.0.1:" + QString::number(board->sipPort()));
    ASSERT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED"), closed + 1));
    EXPECT_TRUE(phone->param(QStringLiteral("CALL_CLOSED")).startsWith(u"603"))
        << phone->param(QStringLiteral("CALL_CLOSED")).toStdString();
    EXPECT_FALSE(board->callUp());
    EXPECT_EQ(hangups, 0);

    // A number is not dialled without a telephone system to send it to.
    board->Dial(QStringLiteral("5551234"));
    EXPECT_EQ(board->CallStatus(), kCallFailed);
    EXPECT_TRUE(board->lastCallOutcome().contains(u"SipServer"));

    // The line is free for its own call: A-law, the second codec it offers.
    BaresipPhone aLaw;
    BaresipPhone::Options options;
    options.codecs = QStringLiteral("pcma");
    ASSERT_TRUE(aLaw.start(options)) << aLaw.failure().toStdString();
    callPhone(aLaw);
    // Resumed at second 1: what follows it is heard, and only it is counted.
    board->PlayFile(messageFile(speechLikeMessage(2000)), 0, {}, 1);
    EXPECT_EQ(board->ElapsedSeconds(), 1);
    EXPECT_GT(findSignal(reference.mid(8000), aLaw.waitHeardMore()).correlation, 0.95);
    hangUpAndWait();
}

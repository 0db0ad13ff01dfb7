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
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
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

TEST_F(SipMediaTest, PacketsKeepOneClockThroughPlaysBeepsAndTheSilenceBetween)
{
    const QString path = messageFile(speechLikeMessage(100));
    callPhone();
    // Twenty starts in a row: a sender that restarted its pace at each would
    // run about 20 ms ahead of its timestamps per start.
    for (int i = 0; i < 10; ++i) {
        board->GenerateTone(800, -20, 1);
        board->PlayFile(path);
    }
    const QVector<SentPacket> packets = board->sentPackets();
    ASSERT_GT(packets.size(), 150);
    ASSERT_TRUE(packets.first().marker); // the call's first packet starts its talk spurt
    double worstMs = 0;
    for (qsizetype i = 1; i < packets.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(quint16(packets[i].sequence - packets[i - 1].sequence), 1);
        // Only a sender held up far beyond a jitter buffer skips ahead, with the marker.
        if (!packets[i].marker) {
            ASSERT_EQ(packets[i].timestamp - packets[i - 1].timestamp, 160u);
        }
        const double mediaMs = double(packets[i].timestamp - packets[0].timestamp) / 8.0;
        const double sentMs = double(packets[i].sentNs - packets[0].sentNs) / 1e6;
        worstMs = std::max(worstMs, std::abs(sentMs - mediaMs));
    }
    EXPECT_LT(worstMs, 60.0);
    // Both plays and silence went out.
    EXPECT_TRUE(std::any_of(packets.begin(), packets.end(), [](auto &p) { return p.playing; }));
    EXPECT_TRUE(std::any_of(packets.begin(), packets.end(), [](auto &p) { return !p.playing; }));
}

TEST_F(SipMediaTest, AStopAStopKeyAndAResumeFadeTheSoundInsteadOfCuttingIt)
{
    // A loud low tone that never comes near silence (8000 to 16000): cut
    // anywhere it would step by more than an eighth of full scale, while its
    // own steps stay under 350. It rises gently from silence at its start.
    QVector<qint16> loud(3 * 8000);
    for (qsizetype i = 0; i < loud.size(); ++i)
        loud[i] = qint16(std::min<double>(1.0, double(i) / 800.0) *
                         (12000.0 + 4000.0 * std::sin(2.0 * M_PI * 100.0 * double(i) / 8000.0)));
    const QString path = messageFile(loud);
    callPhone();
    when(&timers, linePlaying, 400, [this] { board->StopVoice(); });
    board->PlayFile(path);
    QTest::qWait(200); // a pause, as an operator makes one
    // Resumed at second 1, in the middle of the tone; then a stop key.
    when(&timers, linePlaying, 400, [] { phone->pressKey(u'#'); });
    board->PlayFile(path, 0, QStringLiteral("#"), 1);
    const QVector<qint16> heard = phone->waitHeardMore();

    // The two stretches of sound, and the largest step around each edge.
    QList<std::pair<qsizetype, qsizetype>> runs;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        if (std::abs(heard[i]) <= 1000)
            continue;
        if (runs.isEmpty() || i - runs.last().second > 80)
            runs.append({i, i});
        runs.last().second = i;
    }
    ASSERT_EQ(runs.size(), 2);
    const auto largestStep = [&](qsizetype from, qsizetype to) {
        int largest = 0;
        for (qsizetype i = std::max<qsizetype>(1, from); i < std::min(to, heard.size()); ++i)
            largest = std::max(largest, std::abs(heard[i] - heard[i - 1]));
        return largest;
    };
    for (const auto &[first, last] : runs) {
        EXPECT_GT(last - first, 8 * 300); // the stretch was heard, then stopped
        EXPECT_LT(largestStep(first - 80, first + 160), 32768 / 8) << "start at " << first;
        EXPECT_LT(largestStep(last - 160, last + 80), 32768 / 8) << "end at " << last;
    }
}

TEST_F(SipMediaTest, DeletingTheLineDuringACallHangsUpAndLeavesTheWaitingCallerSafely)
{
    const QString path = messageFile(speechLikeMessage(3000));
    callPhone();
    int closed = phone->count(QStringLiteral("CALL_CLOSED"));
    SipVoiceBoard *line = board.get();
    when(&timers, linePlaying, 300, [this] { board.reset(); });
    try {
        line->PlayFile(path);
        ADD_FAILURE() << "the play outlived the line";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), vbErrFarEndGone);
    }
    EXPECT_TRUE(phone->waitFor(QStringLiteral("CALL_CLOSED"), closed + 1));

    // The same while the telephone rings.
    BaresipPhone ringing;
    BaresipPhone::Options manual;
    manual.answerMode = QStringLiteral("manual");
    ASSERT_TRUE(ringing.start(manual)) << ringing.failure().toStdString();
    openLine();
    line = board.get();
    const auto rings = [&] { return ringing.count(QStringLiteral("CALL_INCOMING")) > 0; };
    when(&timers, rings, 0, [this] { board.reset(); });
    EXPECT_THROW(line->Dial(ringing.address()), modVNQRN::Error);
    EXPECT_TRUE(ringing.waitFor(QStringLiteral("CALL_CLOSED")));
}

// Audio on a real call: what the telephone hears, keys that stop a play,
// StopVoice, skip seconds, beeps, recordings and digits.

#include "sip_line_fixture.h"

#include "shared/error.h"
#include "signal_match.h"
#include "telephony/sip/call_audio.h"
#include "telephony/vox_decoder.h"
#include "test_message.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUdpSocket>

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
        options.speech = speechLikeMessage(2000);
        startPhone(options);
    }
    static void TearDownTestSuite() { stopPhone(); }
};

} // namespace

TEST_F(SipMediaTest, TheTelephoneHearsTheMessage)
{
    const QString path = messageFile(speechLikeMessage(3000));
    callPhone();
    board->PlayFile(path, 0, QStringLiteral("#"));
    EXPECT_EQ(board->ElapsedSeconds(), 3);
    // The last packets still cross the telephone's jitter buffer.
    const QVector<qint16> heard = phone->waitHeardMore();
    const SignalMatch match = findSignal(reference, heard);
    EXPECT_GT(match.correlation, 0.95);
    EXPECT_GT(correlationAt(reference, heard, match.lag, 0, 800), 0.95);
    EXPECT_GT(correlationAt(reference, heard, match.lag, reference.size() - 800, 800), 0.95);
}

TEST_F(SipMediaTest, AStopKeyEndsThePlayOtherKeysDoNot)
{
    const QString path = messageFile(speechLikeMessage(4000));
    callPhone();
    whenPlaying(700, [this] {
        phone->pressKey(u'1');
        QTimer::singleShot(800, [] { phone->pressKey(u'#'); });
    });
    board->PlayFile(path, 0, QStringLiteral("#*"));
    EXPECT_GE(playing.elapsed(), 1500);
    EXPECT_LT(playing.elapsed(), 2500);
    EXPECT_EQ(board->ElapsedSeconds(), 1);
    EXPECT_EQ(board->ChannelState(), kChannelIdle);
    // The keys are kept for CollectDigits.
    EXPECT_EQ(board->CollectDigits(2, 1), QStringLiteral("1#"));
}

TEST_F(SipMediaTest, StopVoiceSilencesAtOnceAndResumeStartsAtTheSkipSecond)
{
    const QString path = messageFile(speechLikeMessage(4000));
    callPhone();
    QElapsedTimer clock;
    qint64 stoppedAt = 0;
    qint32 pausedAt = -1;
    whenPlaying(1300, [&] {
        EXPECT_EQ(board->ChannelState(), kChannelPlaying);
        stoppedAt = clock.elapsed();
        board->StopVoice();
        pausedAt = board->ElapsedSeconds();
    });
    clock.start();
    board->PlayFile(path);
    EXPECT_LT(clock.elapsed() - stoppedAt, 100);
    EXPECT_EQ(pausedAt, 1);
    EXPECT_EQ(board->ElapsedSeconds(), 1);

    // What the telephone heard stops where the play was stopped.
    const QVector<qint16> first = phone->waitHeardMore();
    const auto [start, end] = soundSpan(first);
    EXPECT_NEAR(double(end - start) / 8.0, 1300.0, 100.0);
    EXPECT_GT(findSignal(reference.mid(0, 8000), first).correlation, 0.95);

    const qsizetype mark = phone->heard().size();
    board->PlayFile(path, 0, {}, pausedAt);
    EXPECT_EQ(board->ElapsedSeconds(), 3); // the skipped second is not counted
    const QVector<qint16> tail = reference.mid(8000);
    const QVector<qint16> resumed = phone->waitHeardMore().mid(mark);
    const SignalMatch match = findSignal(tail, resumed);
    EXPECT_GT(match.correlation, 0.95);
    // Nothing came before it: the first second is not played again.
    EXPECT_EQ(soundSpan(resumed.mid(0, match.lag)).second, 0);
}

TEST_F(SipMediaTest, BeepsSoundAtTheirLengthsAndLevel)
{
    callPhone();
    board->GenerateTone(800, -20, 2);
    board->GenerateTone(800, -20, 1);
    board->GenerateTone(800, -20, 1);
    const QVector<qint16> heard = phone->waitHeardMore();

    // Runs of sound: one long beep, then two short ones, apart.
    QList<std::pair<qsizetype, qsizetype>> beeps;
    qsizetype quiet = 0;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        if (std::abs(heard[i]) > 1000) {
            if (beeps.isEmpty() || quiet > 80)
                beeps.append({i, i});
            beeps.last().second = i;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    ASSERT_EQ(beeps.size(), 3);
    EXPECT_NEAR(double(beeps[0].second - beeps[0].first) / 8.0, 400.0, 10.0);
    EXPECT_NEAR(double(beeps[1].second - beeps[1].first) / 8.0, 150.0, 10.0);
    EXPECT_NEAR(double(beeps[2].second - beeps[2].first) / 8.0, 150.0, 10.0);
    EXPECT_NEAR(double(beeps[1].first - beeps[0].second) / 8.0, 100.0, 10.0);

    // 800 Hz at -20 dB: 1600 zero crossings a second, peaks near 3277.
    const QVector<qint16> beep = heard.mid(beeps[0].first + 400, 1600);
    int crossings = 0;
    qint16 peak = 0;
    for (qsizetype i = 1; i < beep.size(); ++i) {
        crossings += (beep[i - 1] < 0) != (beep[i] < 0);
        peak = std::max<qint16>(peak, qint16(std::abs(beep[i])));
    }
    EXPECT_NEAR(crossings, 320, 4);
    EXPECT_NEAR(peak, 3277, 200);
}

TEST_F(SipMediaTest, ARecordingHoldsWhatTheCallerSaidAndEndsOnSilence)
{
    // The telephone speaks for two seconds from the moment it answers.
    callPhone();
    const QString file = ws.root() + u"recording.vox";
    QElapsedTimer clock;
    clock.start();
    board->RecordFile(file, 3, 30, 1);
    EXPECT_NEAR(double(clock.elapsed()), 3000.0, 400.0);

    const QVector<qint16> recorded = decodeVoxFile(file).samples;
    const QVector<qint16> said = speechLikeMessage(2000);
    EXPECT_NEAR(double(recorded.size()) / 8.0, 3000.0, 400.0);
    const SignalMatch match = findSignal(said.mid(4000, 8000), recorded);
    EXPECT_GT(match.correlation, 0.95);

    // The maximum time ends a recording of silence.
    clock.restart();
    board->RecordFile(file, 3, 1, 0);
    EXPECT_NEAR(double(clock.elapsed()), 1000.0, 200.0);
    EXPECT_NEAR(double(decodeVoxFile(file).samples.size()) / 8.0, 1000.0, 200.0);
}

TEST_F(SipMediaTest, DigitsAreCollectedUpToTheirCountOrTheHashKey)
{
    callPhone();
    QTimer::singleShot(100, [] {
        for (QChar key : QStringLiteral("123#9"))
            phone->pressKey(key);
    });
    EXPECT_EQ(board->CollectDigits(6, 5), QStringLiteral("123#"));
    EXPECT_EQ(board->CollectDigits(1, 5), QStringLiteral("9"));
}

TEST_F(SipMediaTest, PacketsFromStrangersAreIgnored)
{
    const QString path = messageFile(speechLikeMessage(2000));
    callPhone();
    // A "#" key event from another address must not stop the play.
    QUdpSocket stranger;
    whenPlaying(500, [&] {
        QByteArray packet("\x80\x65\x00\x01\x00\x00\x10\x00\x12\x34\x56\x78", 12);
        packet.append("\x0b\x8a\x03\x20", 4);
        for (int i = 0; i < 3; ++i)
            stranger.writeDatagram(packet, QHostAddress::LocalHost, board->rtpPort());
    });
    board->PlayFile(path, 0, QStringLiteral("#"));
    EXPECT_GE(playing.elapsed(), 1900);
    EXPECT_EQ(board->ElapsedSeconds(), 2);
    EXPECT_GE(board->foreignPackets(), 3u);
}

TEST_F(SipMediaTest, TheFarEndHangingUpFailsThePlayAndRaisesCallerHangup)
{
    const QString path = messageFile(speechLikeMessage(4000));
    callPhone();
    int hangups = 0;
    qint32 statusInHandler = 0;
    board->setCallerHangupHandler([&] {
        ++hangups;
        statusInHandler = board->CallStatus();
    });
    whenPlaying(800, [] { phone->hangUp(); });
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

    // The owner hangs up its side and the next call works.
    board->HangUp();
    callPhone();
    board->GenerateTone(800, -20, 1);
    EXPECT_EQ(hangups, 1);
}

TEST_F(SipMediaTest, MessagesAt6000HzArePlayedAtTheirPitch)
{
    SipSettings settings = loopbackSettings();
    settings.voxRate = 6000;
    board = std::make_unique<SipVoiceBoard>(settings, nullptr);
    board->setTrunkChannel(0);
    const QString path = ws.root() + u"six.vox";
    writeVoxFile(path, speechLikeMessage(3000, 6000), 6000);
    const QVector<qint16> expected = resamplePcm(decodeVoxFile(path, 6000).samples, 6000, 8000);

    callPhone();
    board->PlayFile(path);
    EXPECT_EQ(board->ElapsedSeconds(), 3);
    const QVector<qint16> heard = phone->waitHeardMore();
    EXPECT_GT(findSignal(expected, heard).correlation, 0.95);
}

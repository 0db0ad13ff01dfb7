// The call's audio conversions: G.711 both ways, beeps, rate conversion and
// telephone keys.

#include "telephony/sip/call_audio.h"

#include "signal_match.h"
#include "test_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace VoiceBocxLib;

TEST(CallAudioTest, G711KeepsSpeechAndItsSilence)
{
    const QVector<qint16> speech = speechLikeMessage(500);
    for (SipCodec codec : {SipCodec::Pcmu, SipCodec::Pcma}) {
        const QByteArray bytes = encodeG711(speech, codec);
        ASSERT_EQ(bytes.size(), speech.size());
        QVector<qint16> back;
        decodeG711(
            std::span(reinterpret_cast<const quint8 *>(bytes.constData()), size_t(bytes.size())),
            codec, back);
        ASSERT_EQ(back.size(), speech.size());
        EXPECT_GT(correlationAt(speech, back, 0), 0.999);
        // Logarithmic coding: the error stays within a few percent of the sample.
        for (qsizetype i = 0; i < speech.size(); ++i)
            ASSERT_LE(std::abs(back[i] - speech[i]), std::abs(speech[i]) / 16 + 16) << i;
        QVector<qint16> silence;
        const quint8 quiet = g711Silence(codec);
        decodeG711(std::span(&quiet, 1), codec, silence);
        EXPECT_LE(std::abs(silence.value(0)), 8);
    }
    EXPECT_EQ(payloadType(SipCodec::Pcmu), 0);
    EXPECT_EQ(payloadType(SipCodec::Pcma), 8);
}

TEST(CallAudioTest, BeepsSoundForTheirLengthLessTheGap)
{
    for (int quarters : {1, 2, 4}) {
        const QVector<qint16> beep = beepSamples(800, -20, quarters);
        EXPECT_EQ(beep.size(), quarters * 2000);
        const auto [first, end] = soundSpan(beep, 100);
        EXPECT_NEAR(double(end - first) / 8.0, quarters * 250 - kBeepGapMs, 6.0) << quarters;
    }
    EXPECT_TRUE(beepSamples(800, -20, 0).isEmpty());
    EXPECT_TRUE(beepSamples(800, -20, -3).isEmpty());
    // -20 dB below full scale (800 Hz at 8000 Hz never samples the very crest).
    const QVector<qint16> beep = beepSamples(800, -20, 2);
    EXPECT_NEAR(*std::max_element(beep.cbegin(), beep.cend()), 3277 * std::sin(0.4 * M_PI), 2);
}

TEST(CallAudioTest, RateConversionKeepsLengthAndPitch)
{
    const QVector<qint16> six = speechLikeMessage(1000, 6000);
    const QVector<qint16> eight = resamplePcm(six, 6000, 8000);
    EXPECT_EQ(eight.size(), 8000);
    EXPECT_GT(correlationAt(speechLikeMessage(1000, 8000), eight, 0), 0.95);
    EXPECT_EQ(resamplePcm(six, 6000, 6000), six);
    EXPECT_TRUE(resamplePcm({}, 6000, 8000).isEmpty());
    EXPECT_EQ(resamplePcm(eight, 8000, 6000).size(), 6000);
}

TEST(CallAudioTest, TelephoneEventsNameTheirKeys)
{
    const quint8 hashDown[] = {11, 0x0a, 0x01, 0x40};
    const quint8 hashUp[] = {11, 0x8a, 0x03, 0x20};
    TelephoneEvent event;
    ASSERT_TRUE(parseTelephoneEvent(hashDown, 4, event));
    EXPECT_EQ(event.code, 11);
    EXPECT_FALSE(event.end);
    ASSERT_TRUE(parseTelephoneEvent(hashUp, 4, event));
    EXPECT_TRUE(event.end);
    EXPECT_FALSE(parseTelephoneEvent(hashUp, 3, event));

    EXPECT_EQ(telephoneKey(0), u'0');
    EXPECT_EQ(telephoneKey(9), u'9');
    EXPECT_EQ(telephoneKey(10), u'*');
    EXPECT_EQ(telephoneKey(11), u'#');
    EXPECT_EQ(telephoneKey(12), u'A');
    EXPECT_EQ(telephoneKey(15), u'D');
    EXPECT_TRUE(telephoneKey(16).isNull()); // flash and other events are no keys
}

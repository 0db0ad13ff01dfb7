#include "call_audio.h"

#include <rem.h>

#include <algorithm>
#include <cmath>

namespace VoiceBocxLib
{

int payloadType(SipCodec codec)
{
    return codec == SipCodec::Pcma ? 8 : 0;
}

QByteArray encodeG711(std::span<const qint16> samples, SipCodec codec)
{
    QByteArray bytes(qsizetype(samples.size()), Qt::Uninitialized);
    encodeG711(samples, codec, reinterpret_cast<quint8 *>(bytes.data()));
    return bytes;
}

void encodeG711(std::span<const qint16> samples, SipCodec codec, quint8 *out)
{
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = codec == SipCodec::Pcma ? g711_pcm2alaw(samples[i]) : g711_pcm2ulaw(samples[i]);
}

void decodeG711(std::span<const quint8> bytes, SipCodec codec, QVector<qint16> &out)
{
    out.reserve(out.size() + qsizetype(bytes.size()));
    for (quint8 b : bytes)
        out.append(codec == SipCodec::Pcma ? g711_alaw2pcm(b) : g711_ulaw2pcm(b));
}

quint8 g711Silence(SipCodec codec)
{
    return codec == SipCodec::Pcma ? g711_pcm2alaw(0) : g711_pcm2ulaw(0);
}

QVector<qint16> resamplePcm(const QVector<qint16> &samples, int fromRate, int toRate)
{
    if (fromRate == toRate || fromRate <= 0 || toRate <= 0 || samples.isEmpty())
        return samples;
    const qint64 count = qint64(samples.size()) * toRate / fromRate;
    QVector<qint16> out(static_cast<qsizetype>(count));
    const double step = double(fromRate) / toRate;
    for (qint64 i = 0; i < count; ++i) {
        const double at = double(i) * step;
        const auto left = static_cast<qsizetype>(at);
        const qsizetype right = std::min<qsizetype>(left + 1, samples.size() - 1);
        const double frac = at - double(left);
        out[qsizetype(i)] =
            static_cast<qint16>(std::lround(samples[left] * (1.0 - frac) + samples[right] * frac));
    }
    return out;
}

QVector<qint16> beepSamples(int frequency, int levelDb, int quarters)
{
    const int totalMs = std::max(0, quarters) * 250;
    const int toneMs = std::max(0, totalMs - kBeepGapMs);
    QVector<qint16> out(qsizetype(totalMs) * kCallRate / 1000, 0);
    const qsizetype toneSamples = qsizetype(toneMs) * kCallRate / 1000;
    const double amplitude = 32767.0 * std::pow(10.0, std::clamp(levelDb, -90, 0) / 20.0);
    // 5 ms ramps keep the beep free of clicks.
    const qsizetype ramp = kCallRate / 200;
    for (qsizetype i = 0; i < toneSamples; ++i) {
        const double edge =
            std::min<double>({1.0, double(i) / ramp, double(toneSamples - i) / ramp});
        out[i] = static_cast<qint16>(std::lround(
            amplitude * edge * std::sin(2.0 * M_PI * frequency * double(i) / kCallRate)));
    }
    return out;
}

QVector<qint16> fadeOutTail(std::span<const qint16> samples)
{
    QVector<qint16> tail(kFadeSamples, 0);
    const auto n = std::min<size_t>(samples.size(), kFadeSamples);
    for (size_t i = 0; i < n; ++i)
        tail[qsizetype(i)] = static_cast<qint16>(
            std::lround(samples[i] * double(kFadeSamples - qsizetype(i)) / (kFadeSamples + 1)));
    return tail;
}

void fadeIn(std::span<qint16> frame, qint64 index)
{
    for (size_t i = 0; i < frame.size() && index + qint64(i) < kFadeSamples; ++i)
        frame[i] = static_cast<qint16>(
            std::lround(frame[i] * double(index + qint64(i) + 1) / (kFadeSamples + 1)));
}

void writeRtpHeader(quint8 *out, bool marker, int payloadType, quint16 sequence, quint32 timestamp,
                    quint32 ssrc)
{
    out[0] = 0x80;
    out[1] = quint8((marker ? 0x80 : 0) | (payloadType & 0x7f));
    out[2] = quint8(sequence >> 8);
    out[3] = quint8(sequence);
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = quint8(timestamp >> (24 - 8 * i));
        out[8 + i] = quint8(ssrc >> (24 - 8 * i));
    }
}

bool parseTelephoneEvent(const quint8 *data, size_t size, TelephoneEvent &event)
{
    if (!data || size < 4)
        return false;
    event.code = data[0];
    event.end = (data[1] & 0x80) != 0;
    return true;
}

QChar telephoneKey(int code)
{
    if (code >= 0 && code <= 9)
        return QChar(u'0' + code);
    switch (code) {
    case 10:
        return u'*';
    case 11:
        return u'#';
    case 12:
    case 13:
    case 14:
    case 15:
        return QChar(u'A' + (code - 12));
    default:
        return {};
    }
}

} // namespace VoiceBocxLib

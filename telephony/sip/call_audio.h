#pragma once

#include "sip_settings.h"

#include <QByteArray>
#include <QChar>
#include <QVector>

#include <span>

namespace VoiceBocxLib
{

/// The audio of a call: 8000 samples a second, sent in packets of 20 ms.
inline constexpr int kCallRate = 8000;
inline constexpr int kPacketMs = 20;
inline constexpr int kPacketSamples = kCallRate * kPacketMs / 1000;

/// The RTP payload type of a codec (0 for PCMU, 8 for PCMA).
int payloadType(SipCodec codec);

/// G.711 bytes of 16-bit samples, one byte a sample.
QByteArray encodeG711(std::span<const qint16> samples, SipCodec codec);
/// The same into `out`, which holds samples.size() bytes (no allocation).
void encodeG711(std::span<const qint16> samples, SipCodec codec, quint8 *out);
/// 16-bit samples of G.711 bytes, appended to `out`.
void decodeG711(std::span<const quint8> bytes, SipCodec codec, QVector<qint16> &out);
/// The G.711 byte of silence.
quint8 g711Silence(SipCodec codec);

/// `samples` at `fromRate` converted to `toRate` (linear interpolation; the
/// same samples when the rates are equal).
QVector<qint16> resamplePcm(const QVector<qint16> &samples, int fromRate, int toRate);

/// A beep at the call's rate: `frequency` Hz at `levelDb` below full scale,
/// lasting `quarters` quarter seconds of which the last 100 ms are silent,
/// so that beeps in a series stay apart. A beep of 1 sounds for 150 ms, a
/// beep of 2 for 400 ms.
QVector<qint16> beepSamples(int frequency, int levelDb, int quarters);
inline constexpr int kBeepGapMs = 100;

/// Stops and starts of the audio are faded over 5 ms so that the telephone
/// hears no click.
inline constexpr int kFadeSamples = kCallRate * 5 / 1000;
/// `samples` (the audio that would have followed a cut; fewer than
/// kFadeSamples where the audio ends first) faded out to silence over
/// kFadeSamples samples.
QVector<qint16> fadeOutTail(std::span<const qint16> samples);
/// Fades in `frame`, whose first sample is sample `index` of a play: samples
/// before kFadeSamples rise from silence to full level.
void fadeIn(std::span<qint16> frame, qint64 index);

/// The 12-byte RTP header (RFC 3550: version 2, no padding, extension or
/// contributing sources) written to `out`.
inline constexpr int kRtpHeaderBytes = 12;
void writeRtpHeader(quint8 *out, bool marker, int payloadType, quint16 sequence, quint32 timestamp,
                    quint32 ssrc);

/// An RFC 4733 telephone event as it arrives in one packet.
struct TelephoneEvent {
    int code = -1;    ///< 0-9, 10 "*", 11 "#", 12-15 "A"-"D"
    bool end = false; ///< the key has been released
};

/// Reads a telephone-event payload; false when it is too short.
bool parseTelephoneEvent(const quint8 *data, size_t size, TelephoneEvent &event);
/// The key of an event code ("0"-"9", "*", "#", "A"-"D"); a null QChar for others.
QChar telephoneKey(int code);

} // namespace VoiceBocxLib

#pragma once

#include "line_job.h"
#include "realtime_thread.h"
#include "sip_settings.h"
#include "telephony/routed_voice_board.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

namespace VoiceBocxLib
{

class SipEngine;

/// The "sip" back end: a telephone line over SIP. Dial places a call (an
/// INVITE with G.711 audio and RFC 4733 keys) to the operator's telephone
/// through the telephone system, or straight to the telephone's address;
/// the voice operations stream audio into the call at a steady 20 ms pace
/// and hear the telephone's keys and voice. Incoming calls are refused.
///
/// The SIP stack runs on a thread of its own; everything the owner sees
/// (return values, CallerHangup) happens on the owner's thread, and the
/// blocking operations run a nested event loop while they wait.
///
/// Outcomes: Dial gives CallStatus 107 when the call is answered and 112
/// when it fails for any reason (no response within the answer time, busy,
/// refused, not answered within the ring time, no common codec). The far
/// end's hang-up gives 109, raises CallerHangup, and makes a running
/// operation fail with vbErrFarEndGone. SetParameter(226) is the answer time
/// and SetParameter(275) the ring time, both in hundredths of a second.
class SipVoiceBoard final : public RoutedVoiceBoard
{
public:
    /// Opens the line on the settings' addresses. Throws modVNQRN::Error
    /// saying why when they cannot be used (an address that is not local, a
    /// port taken).
    SipVoiceBoard(const SipSettings &settings, std::unique_ptr<WaveDevice> wave);
    ~SipVoiceBoard() override;
    /// The live board created last (tests and benchmarks).
    static SipVoiceBoard *last();

    // VoiceBocx
    qint32 ChannelState() const override;
    qint32 CallStatus() const override { return m_callStatus; }
    void HangUp() override;
    QString CollectDigits(qint32 count, qint32 timeoutSeconds = 0, qint16 flags = 0) override;
    void Dial(const QString &number, bool wait = true) override;
    void GenerateTone(qint32 frequency, qint32 level, qint32 length) override;
    void PlayPrompt(const QString &path) override;
    void RecordFile(const QString &path, qint32 format = 0, qint32 maxSeconds = 0,
                    qint32 silenceSeconds = 0) override;
    void SetParameter(qint32 code, qint32 value) override;
    /// Accepted; the options of an analogue line have no meaning on SIP.
    void SetCallOptions(qint32, qint32, qint32, qint32) override {}

    /// Where the line listens, for a telephone that calls it or a test.
    QString localAddress() const;
    quint16 sipPort() const;
    quint16 rtpPort() const;
    /// True while a call is up.
    bool callUp() const { return m_callUp; }
    /// Why the last call failed ("486 Busy Here", "no response from the far end", ...).
    QString lastCallOutcome() const { return m_lastOutcome; }
    /// The answer and ring times Dial uses, in milliseconds.
    int answerTimeMs() const;
    int ringTimeMs() const;
    /// When the packets of the last play left the workstation.
    PlayTiming lastPlayTiming() const;
    /// When the line dialled, was answered and sent the first packet of a
    /// play, since it was last asked (benchmarks); starts afresh.
    LineTiming takeLineTiming();
    /// Audio packets dropped because they came from elsewhere than the far end.
    quint64 foreignPackets() const;
    /// The RTP packets of the current or last call (its last 80 s or so),
    /// for measuring the line's pace.
    QVector<SentPacket> sentPackets() const;
    /// How far the system let the audio sender's priority be raised.
    ThreadPriority senderPriority() const;

protected:
    qint32 lineDeviceCount() const override { return 1; }
    void linePlayFile(const QString &path, qint32 format, const QString &stopTones,
                      qint32 skipSeconds) override;
    void lineStopVoice() override;
    qint32 lineElapsedSeconds() const override;

private:
    struct Wait;

    void requireCall();
    LineResult runJob(qint32 state, qint64 expectedMs, const std::function<void(quint64)> &start);
    void playAudio(const QString &path, const QString &stopKeys, qint32 skipSeconds,
                   bool clearKeys);
    void finishWait(LineEnding ending, const LineResult &result = {});
    int scaledMs(qint64 ms) const;

    void onDialFinished(quint64 call, int status, const QString &reason);
    void onCallEnded(quint64 call);
    void onKey(quint64 call, QChar key);
    void onRegistrationFailed(const QString &reason, bool credentials);
    void onJobFinished(quint64 job, const LineResult &result);

    SipSettings m_settings;
    std::unique_ptr<SipEngine> m_engine;
    qint32 m_callStatus = 0;
    bool m_callUp = false;
    bool m_farEndGone = false;
    bool m_dialling = false;
    quint64 m_call = 0;
    quint64 m_job = 0;
    QString m_lastOutcome;
    qint32 m_answerHundredths = 1500;
    qint32 m_ringHundredths = 2000;

    Wait *m_wait = nullptr;
    QString m_digits;
    qint32 m_digitCount = 0;

    // The position of the current or last play.
    bool m_playing = false;
    qint64 m_playFrom = 0;
    qint64 m_playLength = 0;
    qint64 m_playEnd = 0;
    QElapsedTimer m_playClock;
};

} // namespace VoiceBocxLib

#pragma once

// The call's audio on the SIP line's thread: one RTP socket, a steady 20 ms
// pace of packets towards the far end (silence while nothing plays), the
// play, beep and recording jobs, and the far end's telephone keys.

#include "call_audio.h"
#include "libre.h"
#include "line_job.h"

#include <QChar>
#include <QString>

#include <chrono>
#include <functional>
#include <utility>

namespace VoiceBocxLib
{

class RtpStream
{
public:
    struct Handlers {
        std::function<void(QChar key)> key;
        std::function<void(quint64 job, const LineResult &result)> jobFinished;
    };

    explicit RtpStream(Handlers handlers);
    ~RtpStream();
    RtpStream(const RtpStream &) = delete;
    RtpStream &operator=(const RtpStream &) = delete;

    /// Opens the socket on `ip` at an even port of the range; an errno value on failure.
    int open(const struct sa &ip, quint16 portMin, quint16 portMax);
    quint16 port() const;

    /// Starts the stream towards `remote` (the only address whose packets
    /// are taken) once the call is up. `eventPt` is the payload type of
    /// telephone events, or -1.
    void start(const struct sa &remote, SipCodec codec, int eventPt);
    /// Stops the stream: a running job ends with `ending`.
    void stop(LineEnding ending);
    bool running() const { return m_running; }

    /// Plays `audio` from sample `from`; a key of `stopKeys` ends it.
    void play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
              qint64 requestedNs);
    /// Records what the far end sends until `maxMs` or `silenceMs` of silence.
    void record(quint64 job, int maxMs, int silenceMs);
    /// Ends `job` now and gives its outcome; a job that has just ended gives
    /// the outcome it ended with. Nothing for an unknown job.
    LineResult stopJob(quint64 job);

    PlayTiming lastPlayTiming() const { return m_timing; }
    /// When the first packet of a play left since this was last asked (0:
    /// none since), for LineTiming; starts afresh.
    qint64 takeFirstPlayNs() { return std::exchange(m_firstPlayNs, 0); }
    /// Packets dropped because they came from somewhere else than the far end.
    quint64 foreignPackets() const { return m_foreign; }

private:
    enum class JobKind { None, Play, Record };
    using Clock = std::chrono::steady_clock;

    static void onReceive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb,
                          void *arg);
    static void onTick(void *arg);
    void receive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb);
    void tick();
    void sendPacket(Clock::time_point now);
    void schedule(Clock::time_point now);
    void finishJob(LineEnding ending);

    Handlers m_handlers;
    struct rtp_sock *m_rtp = nullptr;
    struct tmr m_tick;
    bool m_running = false;
    struct sa m_remote;
    SipCodec m_codec = SipCodec::Pcmu;
    int m_eventPt = -1;
    quint32 m_timestamp = 0;
    bool m_marker = true;
    Clock::time_point m_nextSend;

    bool m_eventSeen = false;
    quint32 m_eventTimestamp = 0;
    int m_eventCode = -1;
    quint64 m_foreign = 0;

    JobKind m_kind = JobKind::None;
    quint64 m_job = 0;
    SharedAudio m_audio;
    qint64 m_position = 0;
    qint64 m_sent = 0;
    QString m_stopKeys;
    QVector<qint16> m_recorded;
    Clock::time_point m_recordStart;
    Clock::time_point m_lastSound;
    int m_maxMs = 0;
    int m_silenceMs = 0;
    bool m_recordTsSet = false;
    quint32 m_recordNextTs = 0;
    PlayTiming m_timing;
    qint64 m_firstPlayNs = 0;
    quint64 m_lastJob = 0;
    LineResult m_lastResult;
};

} // namespace VoiceBocxLib

#pragma once

// The call's audio: one RTP socket, the play, beep and recording jobs, and
// the far end's telephone keys. Packets go out from a sending thread of the
// stream's own on one clock per call: packet n of a call leaves at the
// call's start plus n times 20 ms and carries timestamp n times 160, through
// plays, beeps and the silence between them alike (silence packets keep the
// call's audio flowing). The rest (the socket's reception, the commands)
// runs on the SIP line's thread; one lock guards the state both share.

#include "call_audio.h"
#include "libre.h"
#include "line_job.h"
#include "pi_mutex.h"
#include "realtime_thread.h"

#include <QChar>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace VoiceBocxLib
{

class RtpStream
{
public:
    /// Called on the SIP line's thread, without the stream's lock.
    struct Handlers {
        std::function<void(QChar key)> key;
        std::function<void(quint64 job, const LineResult &result)> jobFinished;
    };

    explicit RtpStream(Handlers handlers);
    ~RtpStream();
    RtpStream(const RtpStream &) = delete;
    RtpStream &operator=(const RtpStream &) = delete;

    /// Opens the socket on `ip` at an even port of the range and starts the
    /// sending thread; an errno value on failure.
    int open(const struct sa &ip, quint16 portMin, quint16 portMax);
    quint16 port() const;

    /// Starts the stream towards `remote` (the only address whose packets
    /// are taken) once the call is up. `eventPt` is the payload type of
    /// telephone events, or -1.
    void start(const struct sa &remote, SipCodec codec, int eventPt);
    /// Stops the stream: a running job ends with `ending`.
    void stop(LineEnding ending);
    bool running() const;

    /// Plays `audio` from sample `from` in the next packet; a key of
    /// `stopKeys` ends it.
    void play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
              qint64 requestedNs);
    /// Records what the far end sends until `maxMs` or `silenceMs` of silence.
    void record(quint64 job, int maxMs, int silenceMs);
    /// Ends `job` now and gives its outcome; a job that has just ended gives
    /// the outcome it ended with. Nothing for an unknown job.
    LineResult stopJob(quint64 job);

    PlayTiming lastPlayTiming() const;
    /// When the first packet of a play left since this was last asked (0:
    /// none since), for LineTiming; starts afresh.
    qint64 takeFirstPlayNs();
    /// The packets of the current or last call, up to the last kPacketLog.
    QVector<SentPacket> sentPackets() const;
    static constexpr qsizetype kPacketLog = 4096;
    /// Packets dropped because they came from somewhere else than the far end.
    quint64 foreignPackets() const;
    /// How far the system let the sending thread's priority be raised.
    ThreadPriority senderPriority() const { return m_priority.load(); }

private:
    enum class JobKind { None, Play, Record };
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<PiMutex>;

    static void onReceive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb,
                          void *arg);
    void receive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb);
    void receiveLocked(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb);
    void startPlay(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
                   qint64 requestedNs);
    void sendLoop();
    void sendPacket(Clock::time_point due, bool marker);
    void checkRecording(Clock::time_point now);
    void finishJob(LineEnding ending);
    void cutPlay();
    /// Hands the news gathered under the lock to the handlers (SIP line's
    /// thread, lock not held).
    void deliverNotices();
    static void onNotices(int flags, void *arg);
    static void onRecordTick(void *arg);

    Handlers m_handlers;
    struct rtp_sock *m_rtp = nullptr;
    int m_fd = -1;

    mutable PiMutex m_mutex;
    std::condition_variable_any m_wake;
    std::thread m_sender;
    bool m_quit = false;
    std::atomic<ThreadPriority> m_priority{ThreadPriority::Normal};

    // News for the handlers. The sending thread never calls them itself:
    // they post to the user-interface thread, whose locks an ordinary
    // thread may hold while the processor is busy elsewhere. It wakes the
    // SIP line's thread through the pipe instead, and that thread delivers.
    struct Notice {
        bool isKey = false;
        QChar key;
        quint64 job = 0;
        LineResult result;
    };
    std::vector<Notice> m_notices;
    int m_noticePipe[2] = {-1, -1};
    // A recording's time and silence are watched on the SIP line's thread,
    // which also receives its audio: when that thread is held up, the
    // recording does not end before the audio waiting for it is taken in.
    struct tmr m_recordTick;

    // The call's clock: packet m_packet is due at m_callStart + m_packet * 20 ms.
    bool m_running = false;
    quint64 m_callGeneration = 0;
    struct sa m_remote;
    SipCodec m_codec = SipCodec::Pcmu;
    int m_eventPt = -1;
    Clock::time_point m_callStart;
    qint64 m_packet = 0;
    quint32 m_firstTimestamp = 0;
    quint32 m_ssrc = 0;
    quint16 m_sequence = 0;
    QVector<qint16> m_tail; ///< the fade-out of a play that was cut, still to send
    QVector<SentPacket> m_log;
    qsizetype m_logNext = 0;

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

#include "rtp_stream.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace VoiceBocxLib
{

namespace
{

constexpr std::chrono::milliseconds kPacket{kPacketMs};
// A sender held up for a whole beat or more (a busy or paused machine) does
// not send the beats it missed late, in a burst: the stream goes on at the
// present beat with the marker bit set, so its timestamps keep following the
// time and the telephone starts a new talk spurt. The audio of a play goes
// on where it stopped: the telephone hears the hold-up as a gap, rather than
// dropping late packets whose time has passed.
constexpr std::chrono::milliseconds kJumpAfter{kPacketMs};
// A recording hears speech in a packet whose loudest sample passes this
// (about -40 dB below full scale).
constexpr int kSoundThreshold = 330;
// Gaps in a recording's timestamps up to this long are filled with silence.
constexpr qint64 kMaxGapSamples = kCallRate;

qint64 steadyNs(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

qint16 saturate(int value)
{
    return static_cast<qint16>(std::clamp(value, -32768, 32767));
}

} // namespace

RtpStream::RtpStream(Handlers handlers) : m_handlers(std::move(handlers))
{
    sa_init(&m_remote, AF_INET);
    tmr_init(&m_recordTick);
    m_log.reserve(kPacketLog);
}

RtpStream::~RtpStream()
{
    {
        Lock lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_sender.joinable())
        m_sender.join();
    tmr_cancel(&m_recordTick);
    mem_deref(m_rtp);
    for (int fd : m_noticePipe) {
        if (fd >= 0) {
            if (fd == m_noticePipe[0])
                fd_close(fd);
            ::close(fd);
        }
    }
}

int RtpStream::open(const struct sa &ip, quint16 portMin, quint16 portMax)
{
    if (const int err =
            rtp_listen(&m_rtp, IPPROTO_UDP, &ip, portMin, portMax, false, onReceive, nullptr, this))
        return err;
    m_fd = udp_sock_fd(static_cast<struct udp_sock *>(rtp_sock(m_rtp)), AF_INET);
    if (m_fd < 0)
        return EBADF;
    if (::pipe2(m_noticePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return errno;
    if (const int err = fd_listen(m_noticePipe[0], FD_READ, onNotices, this))
        return err;
    m_notices.reserve(16);
    m_sender = std::thread([this] { sendLoop(); });
    return 0;
}

quint16 RtpStream::port() const
{
    return m_rtp ? sa_port(rtp_local(m_rtp)) : 0;
}

bool RtpStream::running() const
{
    Lock lock(m_mutex);
    return m_running;
}

void RtpStream::start(const struct sa &remote, SipCodec codec, int eventPt)
{
    {
        Lock lock(m_mutex);
        m_remote = remote;
        m_codec = codec;
        m_eventPt = eventPt;
        m_eventSeen = false;
        m_running = true;
        ++m_callGeneration;
        m_callStart = Clock::now();
        m_packet = 0;
        m_firstTimestamp = rand_u32();
        m_ssrc = rand_u32();
        m_sequence = rand_u16();
        m_tail.clear();
        m_log.clear();
        m_logNext = 0;
    }
    m_wake.notify_all();
}

void RtpStream::stop(LineEnding ending)
{
    {
        Lock lock(m_mutex);
        m_running = false;
        m_tail.clear();
        if (m_kind != JobKind::None)
            finishJob(ending);
    }
    m_wake.notify_all();
    deliverNotices();
}

void RtpStream::play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
                     qint64 requestedNs)
{
    {
        Lock lock(m_mutex);
        startPlay(job, std::move(audio), from, stopKeys, requestedNs);
    }
    deliverNotices();
}

void RtpStream::startPlay(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
                          qint64 requestedNs)
{
    if (m_kind != JobKind::None)
        finishJob(LineEnding::Stopped);
    m_job = job;
    m_timing = PlayTiming{requestedNs, {}};
    if (!m_running) {
        m_lastJob = job;
        m_lastResult = LineResult{LineEnding::NoCall, 0, {}};
        m_notices.push_back({false, {}, job, m_lastResult});
        return;
    }
    // The play goes out in the next packet on the call's clock: a play
    // never restarts the pace, so the timestamps keep matching the time.
    m_kind = JobKind::Play;
    m_audio = std::move(audio);
    m_position = std::clamp<qint64>(from, 0, m_audio ? m_audio->size() : 0);
    m_sent = 0;
    m_stopKeys = stopKeys;
    // The sending thread appends without allocating.
    m_timing.sentNs.reserve((m_audio ? m_audio->size() - m_position : 0) / kPacketSamples + 2);
}

void RtpStream::record(quint64 job, int maxMs, int silenceMs)
{
    {
        Lock lock(m_mutex);
        if (m_kind != JobKind::None)
            finishJob(LineEnding::Stopped);
        m_job = job;
        if (!m_running) {
            m_lastJob = job;
            m_lastResult = LineResult{LineEnding::NoCall, 0, {}};
            m_notices.push_back({false, {}, job, m_lastResult});
        } else {
            m_kind = JobKind::Record;
            m_recorded.clear();
            m_recordTsSet = false;
            m_maxMs = maxMs;
            m_silenceMs = silenceMs;
            m_recordStart = m_lastSound = Clock::now();
            tmr_start(&m_recordTick, kPacketMs, onRecordTick, this);
        }
    }
    deliverNotices();
}

void RtpStream::onRecordTick(void *arg)
{
    auto *self = static_cast<RtpStream *>(arg);
    {
        Lock lock(self->m_mutex);
        self->checkRecording(Clock::now());
        if (self->m_kind == JobKind::Record)
            tmr_start(&self->m_recordTick, kPacketMs, onRecordTick, self);
    }
    self->deliverNotices();
}

LineResult RtpStream::stopJob(quint64 job)
{
    LineResult result;
    {
        Lock lock(m_mutex);
        if (m_kind != JobKind::None && m_job == job)
            finishJob(LineEnding::Stopped);
        if (m_lastJob == job)
            result = m_lastResult;
    }
    deliverNotices();
    return result;
}

void RtpStream::onNotices(int, void *arg)
{
    auto *self = static_cast<RtpStream *>(arg);
    char drain[64];
    while (::read(self->m_noticePipe[0], drain, sizeof drain) > 0) {
    }
    self->deliverNotices();
}

void RtpStream::deliverNotices()
{
    std::vector<Notice> notices;
    {
        Lock lock(m_mutex);
        notices.swap(m_notices);
        m_notices.reserve(16);
    }
    for (const Notice &notice : notices) {
        if (notice.isKey)
            m_handlers.key(notice.key);
        else
            m_handlers.jobFinished(notice.job, notice.result);
    }
}

PlayTiming RtpStream::lastPlayTiming() const
{
    Lock lock(m_mutex);
    return m_timing;
}

qint64 RtpStream::takeFirstPlayNs()
{
    Lock lock(m_mutex);
    return std::exchange(m_firstPlayNs, 0);
}

QVector<SentPacket> RtpStream::sentPackets() const
{
    Lock lock(m_mutex);
    if (m_log.size() < kPacketLog)
        return m_log;
    return m_log.mid(m_logNext) + m_log.mid(0, m_logNext);
}

quint64 RtpStream::foreignPackets() const
{
    Lock lock(m_mutex);
    return m_foreign;
}

void RtpStream::cutPlay()
{
    // The audio that would have come next, faded out, goes in the next
    // packet: the telephone hears the sound die away in 5 ms, not a step
    // to silence. A play cut before its first packet was never heard.
    if (!m_running || !m_audio || m_sent == 0)
        return;
    const qint64 left = std::max<qint64>(0, m_audio->size() - m_position);
    m_tail = fadeOutTail(std::span<const qint16>(m_audio->constData() + m_position,
                                                 size_t(std::min<qint64>(left, kFadeSamples))));
}

void RtpStream::finishJob(LineEnding ending)
{
    LineResult result;
    result.ending = ending;
    if (m_kind == JobKind::Play) {
        result.samples = m_sent;
        if (ending == LineEnding::Stopped || ending == LineEnding::StopKey)
            cutPlay();
    } else {
        result.samples = m_recorded.size();
        result.recorded = std::move(m_recorded);
    }
    m_kind = JobKind::None;
    m_audio.reset();
    m_recorded.clear();
    m_lastJob = m_job;
    m_lastResult = result;
    m_notices.push_back({false, {}, m_job, std::move(result)});
}

void RtpStream::sendLoop()
{
    m_priority = raiseThreadPriority();
    Lock lock(m_mutex);
    while (!m_quit) {
        if (!m_running) {
            m_wake.wait(lock);
            continue;
        }
        // Absolute deadlines: a late wake-up is made up by the next one
        // instead of adding up.
        const auto due = m_callStart + m_packet * kPacket;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue; // the call may have ended or another begun meanwhile
        }
        const auto now = Clock::now();
        bool marker = m_packet == 0;
        if (now - due >= kJumpAfter) {
            m_packet = (now - m_callStart) / kPacket;
            marker = true;
        }
        sendPacket(m_callStart + m_packet * kPacket, marker);
        ++m_packet;
        if (!m_notices.empty()) {
            // The pipe only wakes the SIP line's thread; a full pipe already will.
            const char wake = 1;
            (void)!::write(m_noticePipe[1], &wake, 1);
        }
    }
}

void RtpStream::sendPacket(Clock::time_point due, bool marker)
{
    qint16 frame[kPacketSamples] = {};
    qint64 taken = 0;
    const bool playing = m_kind == JobKind::Play && m_audio;
    if (playing) {
        taken = std::clamp<qint64>(m_audio->size() - m_position, 0, kPacketSamples);
        std::copy_n(m_audio->constData() + m_position, taken, frame);
        fadeIn(std::span<qint16>(frame, size_t(taken)), m_sent);
    }
    for (qsizetype i = 0; i < m_tail.size() && i < kPacketSamples; ++i)
        frame[i] = saturate(frame[i] + m_tail[i]);
    m_tail.clear();

    // Nothing here allocates: the sender must not wait on anybody's lock.
    quint8 packet[kRtpHeaderBytes + kPacketSamples];
    const quint32 timestamp = m_firstTimestamp + quint32(m_packet * kPacketSamples);
    writeRtpHeader(packet, marker, payloadType(m_codec), m_sequence, timestamp, m_ssrc);
    encodeG711(std::span<const qint16>(frame, kPacketSamples), m_codec, packet + kRtpHeaderBytes);
    // A full socket buffer loses this packet rather than holding up the pace.
    (void)::sendto(m_fd, packet, sizeof packet, MSG_DONTWAIT, &m_remote.u.sa, m_remote.len);
    const qint64 sentNs = steadyNowNs();

    const SentPacket sent{sentNs, steadyNs(due), timestamp, m_sequence, marker, playing};
    if (m_log.size() < kPacketLog)
        m_log.append(sent);
    else
        m_log[m_logNext] = sent;
    m_logNext = (m_logNext + 1) % kPacketLog;
    ++m_sequence;

    if (playing) {
        if (m_sent == 0 && m_firstPlayNs == 0)
            m_firstPlayNs = sentNs;
        m_timing.sentNs.append(sentNs);
        m_position += taken;
        m_sent += taken;
        if (m_position >= m_audio->size())
            finishJob(LineEnding::End);
    }
}

void RtpStream::checkRecording(Clock::time_point now)
{
    if (m_kind != JobKind::Record)
        return;
    const auto since = [&](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
    };
    if (m_maxMs > 0 && since(m_recordStart) >= m_maxMs)
        finishJob(LineEnding::MaxTime);
    else if (m_silenceMs > 0 && since(m_lastSound) >= m_silenceMs)
        finishJob(LineEnding::Silence);
}

void RtpStream::onReceive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb,
                          void *arg)
{
    static_cast<RtpStream *>(arg)->receive(src, hdr, mb);
}

void RtpStream::receive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb)
{
    {
        Lock lock(m_mutex);
        receiveLocked(src, hdr, mb);
    }
    deliverNotices();
}

void RtpStream::receiveLocked(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb)
{
    if (!m_running)
        return;
    // Only the far end of our own call is heard.
    if (!sa_cmp(src, &m_remote, SA_ALL)) {
        ++m_foreign;
        return;
    }
    const quint8 *data = mbuf_buf(mb);
    const size_t size = mbuf_get_left(mb);

    if (m_eventPt >= 0 && hdr->pt == m_eventPt) {
        TelephoneEvent event;
        if (!parseTelephoneEvent(data, size, event))
            return;
        // One key press is several packets with one timestamp.
        if (m_eventSeen && hdr->ts == m_eventTimestamp && event.code == m_eventCode)
            return;
        m_eventSeen = true;
        m_eventTimestamp = hdr->ts;
        m_eventCode = event.code;
        const QChar key = telephoneKey(event.code);
        if (key.isNull())
            return;
        m_notices.push_back({true, key, 0, {}});
        if (m_kind == JobKind::Play && m_stopKeys.contains(key))
            finishJob(LineEnding::StopKey);
        return;
    }

    if (hdr->pt != payloadType(m_codec) || m_kind != JobKind::Record)
        return;
    if (m_recordTsSet) {
        const qint64 gap = qint32(hdr->ts - m_recordNextTs);
        if (gap < 0)
            return; // late or repeated
        if (gap > 0 && gap <= kMaxGapSamples)
            m_recorded.insert(m_recorded.size(), gap, 0);
    }
    const qsizetype before = m_recorded.size();
    decodeG711(std::span<const quint8>(data, size), m_codec, m_recorded);
    m_recordTsSet = true;
    m_recordNextTs = hdr->ts + quint32(size);
    const auto loudest =
        std::max_element(m_recorded.cbegin() + before, m_recorded.cend(),
                         [](qint16 a, qint16 b) { return std::abs(int(a)) < std::abs(int(b)); });
    if (loudest != m_recorded.cend() && std::abs(int(*loudest)) > kSoundThreshold)
        m_lastSound = Clock::now();
}

} // namespace VoiceBocxLib

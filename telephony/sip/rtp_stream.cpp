#include "rtp_stream.h"

#include <algorithm>
#include <cstdlib>

namespace VoiceBocxLib
{

namespace
{

constexpr std::chrono::milliseconds kPacket{kPacketMs};
// A pace that has fallen this far behind (the thread was held up) starts
// afresh rather than sending a burst of late packets.
constexpr std::chrono::milliseconds kResyncAfter{200};
// A recording hears speech in a packet whose loudest sample passes this
// (about -40 dB below full scale).
constexpr int kSoundThreshold = 330;
// Gaps in a recording's timestamps up to this long are filled with silence.
constexpr qint64 kMaxGapSamples = kCallRate;

qint64 steadyNs(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

} // namespace

RtpStream::RtpStream(Handlers handlers) : m_handlers(std::move(handlers))
{
    tmr_init(&m_tick);
    sa_init(&m_remote, AF_INET);
}

RtpStream::~RtpStream()
{
    tmr_cancel(&m_tick);
    mem_deref(m_rtp);
}

int RtpStream::open(const struct sa &ip, quint16 portMin, quint16 portMax)
{
    return rtp_listen(&m_rtp, IPPROTO_UDP, &ip, portMin, portMax, false, onReceive, nullptr, this);
}

quint16 RtpStream::port() const
{
    return m_rtp ? sa_port(rtp_local(m_rtp)) : 0;
}

void RtpStream::start(const struct sa &remote, SipCodec codec, int eventPt)
{
    m_remote = remote;
    m_codec = codec;
    m_eventPt = eventPt;
    m_eventSeen = false;
    m_running = true;
    m_marker = true;
    m_timestamp = rand_u32();
    const auto now = Clock::now();
    m_nextSend = now;
    sendPacket(now);
    schedule(now);
}

void RtpStream::stop(LineEnding ending)
{
    m_running = false;
    tmr_cancel(&m_tick);
    if (m_kind != JobKind::None)
        finishJob(ending);
}

void RtpStream::play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys,
                     qint64 requestedNs)
{
    if (m_kind != JobKind::None)
        finishJob(LineEnding::Stopped);
    m_job = job;
    m_timing = PlayTiming{requestedNs, {}};
    if (!m_running) {
        m_lastJob = job;
        m_lastResult = LineResult{LineEnding::NoCall, 0, {}};
        m_handlers.jobFinished(job, m_lastResult);
        return;
    }
    m_kind = JobKind::Play;
    m_audio = std::move(audio);
    m_position = std::clamp<qint64>(from, 0, m_audio ? m_audio->size() : 0);
    m_sent = 0;
    m_stopKeys = stopKeys;
    // The first packet leaves now and the pace restarts from it: a play
    // never waits for the next beat of the silence before it.
    const auto now = Clock::now();
    m_nextSend = now;
    tmr_cancel(&m_tick);
    sendPacket(now);
    if (m_firstPlayNs == 0)
        m_firstPlayNs = steadyNs(now);
    if (m_running)
        schedule(now);
}

void RtpStream::record(quint64 job, int maxMs, int silenceMs)
{
    if (m_kind != JobKind::None)
        finishJob(LineEnding::Stopped);
    m_job = job;
    if (!m_running) {
        m_lastJob = job;
        m_lastResult = LineResult{LineEnding::NoCall, 0, {}};
        m_handlers.jobFinished(job, m_lastResult);
        return;
    }
    m_kind = JobKind::Record;
    m_recorded.clear();
    m_recordTsSet = false;
    m_maxMs = maxMs;
    m_silenceMs = silenceMs;
    m_recordStart = m_lastSound = Clock::now();
}

LineResult RtpStream::stopJob(quint64 job)
{
    if (m_kind != JobKind::None && m_job == job)
        finishJob(LineEnding::Stopped);
    if (m_lastJob == job)
        return m_lastResult;
    return {};
}

void RtpStream::finishJob(LineEnding ending)
{
    LineResult result;
    result.ending = ending;
    if (m_kind == JobKind::Play) {
        result.samples = m_sent;
    } else {
        result.samples = m_recorded.size();
        result.recorded = std::move(m_recorded);
    }
    m_kind = JobKind::None;
    m_audio.reset();
    m_recorded.clear();
    m_lastJob = m_job;
    m_lastResult = result;
    m_handlers.jobFinished(m_job, result);
}

void RtpStream::onTick(void *arg)
{
    static_cast<RtpStream *>(arg)->tick();
}

void RtpStream::tick()
{
    if (!m_running)
        return;
    auto now = Clock::now();
    if (now - m_nextSend > kResyncAfter)
        m_nextSend = now;
    while (m_running && m_nextSend <= now) {
        sendPacket(now);
        now = Clock::now();
    }
    if (m_running && m_kind == JobKind::Record) {
        const auto since = [&](Clock::time_point t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
        };
        if (m_maxMs > 0 && since(m_recordStart) >= m_maxMs)
            finishJob(LineEnding::MaxTime);
        else if (m_silenceMs > 0 && since(m_lastSound) >= m_silenceMs)
            finishJob(LineEnding::Silence);
    }
    if (m_running)
        schedule(now);
}

void RtpStream::schedule(Clock::time_point now)
{
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_nextSend - now).count();
    tmr_start(&m_tick, static_cast<uint64_t>(std::max<qint64>(0, wait)), onTick, this);
}

void RtpStream::sendPacket(Clock::time_point now)
{
    qint16 frame[kPacketSamples] = {};
    qint64 taken = 0;
    if (m_kind == JobKind::Play && m_audio) {
        taken = std::min<qint64>(kPacketSamples, m_audio->size() - m_position);
        std::copy_n(m_audio->constData() + m_position, taken, frame);
    }
    const QByteArray payload = encodeG711(std::span<const qint16>(frame, kPacketSamples), m_codec);

    struct mbuf *mb = mbuf_alloc(RTP_HEADER_SIZE + kPacketSamples);
    if (mb) {
        mb->pos = RTP_HEADER_SIZE;
        mbuf_write_mem(mb, reinterpret_cast<const uint8_t *>(payload.constData()),
                       size_t(payload.size()));
        mb->pos = RTP_HEADER_SIZE;
        rtp_send(m_rtp, &m_remote, false, m_marker, uint8_t(payloadType(m_codec)), m_timestamp, mb);
        mem_deref(mb);
    }
    m_marker = false;
    m_timestamp += kPacketSamples;
    m_nextSend += kPacket;

    if (m_kind == JobKind::Play) {
        m_timing.sentNs.append(steadyNs(now));
        m_position += taken;
        m_sent += taken;
        if (!m_audio || m_position >= m_audio->size())
            finishJob(LineEnding::End);
    }
}

void RtpStream::onReceive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb,
                          void *arg)
{
    static_cast<RtpStream *>(arg)->receive(src, hdr, mb);
}

void RtpStream::receive(const struct sa *src, const struct rtp_header *hdr, struct mbuf *mb)
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
        m_handlers.key(key);
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

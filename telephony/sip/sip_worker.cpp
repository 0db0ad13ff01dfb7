#include "sip_worker.h"

#include "sip_engine.h"

#include <cstring>
#include <utility>

namespace VoiceBocxLib
{

namespace
{

constexpr uint32_t kRegisterSeconds = 600;
// How long the far end may take to confirm the hang-up when the line shuts down.
constexpr uint64_t kShutdownGraceMs = 1000;
const char *const kDefaultUser = "vnorvak";
const char *const kEventPt = "101";

QString errorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString plText(const struct pl &pl)
{
    return QString::fromUtf8(pl.p, qsizetype(pl.l));
}

QString responseText(const struct sip_msg *msg)
{
    return QString::number(msg->scode) + u' ' + plText(msg->reason);
}

QString addressText(const struct sa &address)
{
    char buf[64] = {};
    sa_ntop(&address, buf, sizeof buf);
    return QString::fromLatin1(buf);
}

const char *codecName(SipCodec codec)
{
    return codec == SipCodec::Pcma ? "PCMA" : "PCMU";
}

} // namespace

SipWorker::SipWorker(const SipSettings &settings, SipEngine &engine)
    : m_settings(settings), m_engine(engine), m_user(settings.user.toUtf8()),
      m_password(settings.password.toUtf8())
{
    sa_init(&m_laddr, AF_INET);
    sa_init(&m_remote, AF_INET);
    tmr_init(&m_answerTimer);
    tmr_init(&m_ringTimer);
    tmr_init(&m_graceTimer);
}

SipWorker::~SipWorker()
{
    tmr_cancel(&m_answerTimer);
    tmr_cancel(&m_ringTimer);
    tmr_cancel(&m_graceTimer);
    m_sess = static_cast<struct sipsess *>(mem_deref(m_sess));
    m_reg = static_cast<struct sipreg *>(mem_deref(m_reg));
    m_sessSock = static_cast<struct sipsess_sock *>(mem_deref(m_sessSock));
    m_listener = static_cast<struct sip_lsnr *>(mem_deref(m_listener));
    m_rtp.reset();
    m_sdp = static_cast<struct sdp_session *>(mem_deref(m_sdp));
    // A stack that was closed gently is handed back by its exit handler with
    // one reference; one that never was still holds ours.
    if (!m_sipClosed || m_sipExited)
        mem_deref(m_sip);
    m_sip = nullptr;
    m_dnsc = static_cast<struct dnsc *>(mem_deref(m_dnsc));
}

QString SipWorker::localAddress() const
{
    return addressText(m_laddr);
}

quint16 SipWorker::sipPort() const
{
    return sa_port(&m_laddr);
}

QString SipWorker::start()
{
    if (!m_settings.localAddress.isEmpty()) {
        if (sa_set_str(&m_laddr, m_settings.localAddress.toLatin1().constData(),
                       m_settings.localPort) != 0)
            return u"SipAddress \"" + m_settings.localAddress + u"\" is not an IPv4 address";
    } else {
        if (net_default_source_addr_get(AF_INET, &m_laddr) != 0)
            return QStringLiteral("this workstation has no IPv4 address for SIP (set SipAddress)");
        sa_set_port(&m_laddr, m_settings.localPort);
    }

    // DNS is needed only for a telephone system given by name.
    struct sa servers[4];
    uint32_t serverCount = 4;
    char domain[64] = {};
    if (dns_srv_get(domain, sizeof domain, servers, &serverCount) != 0)
        serverCount = 0;
    if (const int err = dnsc_alloc(&m_dnsc, nullptr, servers, serverCount))
        return u"the SIP name resolver could not start: " + errorText(err);

    if (const int err = sip_alloc(&m_sip, m_dnsc, 32, 32, 32, "VN-Orvak", onSipExit, this))
        return u"the SIP stack could not start: " + errorText(err);
    if (const int err = sip_transp_add(m_sip, SIP_TRANSP_UDP, &m_laddr))
        return u"cannot listen for SIP on " + addressText(m_laddr) + u':' +
               QString::number(m_settings.localPort) + u" (" + errorText(err) + u')';
    if (m_settings.localPort == 0)
        sip_transp_laddr(m_sip, &m_laddr, SIP_TRANSP_UDP, nullptr);
    if (const int err = sip_listen(&m_listener, m_sip, true, onRequest, this))
        return u"the SIP stack could not start: " + errorText(err);
    if (const int err = sipsess_listen(&m_sessSock, m_sip, 32, onIncoming, this))
        return u"the SIP stack could not start: " + errorText(err);

    m_rtp = std::make_unique<RtpStream>(RtpStream::Handlers{
        [this](QChar key) {
            const quint64 call = m_call;
            m_engine.toUi([e = &m_engine, call, key] { Q_EMIT e->keyPressed(call, key); });
        },
        [this](quint64 job, const LineResult &result) {
            m_engine.toUi([e = &m_engine, job, result] { Q_EMIT e->jobFinished(job, result); });
        }});
    if (const int err = m_rtp->open(m_laddr, m_settings.rtpPortMin, m_settings.rtpPortMax))
        return u"no port for the call's audio in SipRtpPorts " +
               QString::number(m_settings.rtpPortMin) + u'-' +
               QString::number(m_settings.rtpPortMax) + u" (" + errorText(err) + u')';

    if (!m_user.isEmpty() && m_settings.hasServer()) {
        const QByteArray server =
            m_settings.serverHost.toUtf8() + ':' + QByteArray::number(m_settings.serverPort);
        const QByteArray registrar = "sip:" + server;
        const QByteArray aor = "sip:" + m_user + '@' + server;
        if (const int err =
                sipreg_register(&m_reg, m_sip, registrar.constData(), aor.constData(), nullptr,
                                aor.constData(), kRegisterSeconds, m_user.constData(), nullptr, 0,
                                0, onAuth, this, false, onRegistered, this, nullptr, nullptr))
            return u"registration at " + QString::fromUtf8(server) + u" could not start: " +
                   errorText(err);
    }
    return {};
}

QByteArray SipWorker::fromUri() const
{
    const QByteArray user = m_user.isEmpty() ? QByteArray(kDefaultUser) : m_user;
    // The telephone system knows its users by its own address: with a port
    // other than SIP's usual one, the port is part of it.
    if (m_settings.hasServer())
        return "sip:" + user + '@' + m_settings.serverHost.toUtf8() +
               (m_settings.serverPort == 5060 ? QByteArray()
                                              : ':' + QByteArray::number(m_settings.serverPort));
    return "sip:" + user + '@' + addressText(m_laddr).toLatin1() + ':' +
           QByteArray::number(sa_port(&m_laddr));
}

void SipWorker::dial(quint64 call, const QByteArray &target, int answerMs, int ringMs)
{
    hangUp();
    m_call = call;
    m_ringMs = ringMs;

    m_sdp = static_cast<struct sdp_session *>(mem_deref(m_sdp));
    m_media = nullptr;
    int err = sdp_session_alloc(&m_sdp, &m_laddr);
    if (!err)
        err = sdp_media_add(&m_media, m_sdp, "audio", m_rtp->port(), "RTP/AVP");
    for (SipCodec codec : m_settings.codecs) {
        if (!err)
            err = sdp_format_add(
                nullptr, m_media, false, QByteArray::number(payloadType(codec)).constData(),
                codecName(codec), kCallRate, 1, nullptr, nullptr, nullptr, false, nullptr);
    }
    if (!err)
        err = sdp_format_add(nullptr, m_media, false, kEventPt, "telephone-event", kCallRate, 1,
                             nullptr, nullptr, nullptr, false, "0-15");
    if (!err)
        err = sdp_media_set_lattr(m_media, true, "ptime", "%d", kPacketMs);
    struct mbuf *offer = nullptr;
    if (!err)
        err = sdp_encode(&offer, m_sdp, true);
    if (err) {
        failCall(u"the call could not be prepared: " + errorText(err));
        return;
    }

    const QByteArray from = fromUri();
    const QByteArray user = m_user.isEmpty() ? QByteArray(kDefaultUser) : m_user;
    QByteArray route;
    const char *routes[1] = {nullptr};
    if (m_settings.hasServer()) {
        // The stack writes the angle brackets of the Route header itself.
        route = "sip:" + m_settings.serverHost.toUtf8() + ':' +
                QByteArray::number(m_settings.serverPort) + ";lr";
        routes[0] = route.constData();
    }
    if (m_timing.dialNs == 0)
        m_timing.dialNs = steadyNowNs();
    err = sipsess_connect(&m_sess, m_sessSock, target.constData(), "VN-Orvak", from.constData(),
                          user.constData(), routes[0] ? routes : nullptr, routes[0] ? 1 : 0,
                          "application/sdp", offer, onAuth, this, false, nullptr, onAnswer,
                          onProgress, onEstablished, nullptr, nullptr, onClose, this, nullptr);
    mem_deref(offer);
    if (err) {
        m_sess = nullptr;
        failCall(u"the call to " + QString::fromUtf8(target) + u" could not be placed: " +
                 errorText(err));
        return;
    }
    tmr_start(&m_answerTimer, uint64_t(std::max(1, answerMs)), onAnswerTimeout, this);
}

void SipWorker::failCall(const QString &reason)
{
    const quint64 call = m_call;
    releaseSession();
    m_engine.toUi([e = &m_engine, call, reason] { Q_EMIT e->dialFinished(call, 112, reason); });
}

void SipWorker::releaseSession()
{
    tmr_cancel(&m_answerTimer);
    tmr_cancel(&m_ringTimer);
    // Sends CANCEL for a call that rings, BYE for one that is up.
    m_sess = static_cast<struct sipsess *>(mem_deref(m_sess));
    m_progress = false;
    m_established = false;
}

void SipWorker::hangUp()
{
    releaseSession();
    if (m_rtp)
        m_rtp->stop(LineEnding::Stopped);
    m_call = 0;
}

LineTiming SipWorker::takeLineTiming()
{
    LineTiming timing = m_timing;
    timing.firstPlayNs = m_rtp->takeFirstPlayNs();
    m_timing = {};
    return timing;
}

void SipWorker::shutdown()
{
    hangUp();
    m_reg = static_cast<struct sipreg *>(mem_deref(m_reg));
    m_sessSock = static_cast<struct sipsess_sock *>(mem_deref(m_sessSock));
    m_listener = static_cast<struct sip_lsnr *>(mem_deref(m_listener));
    // The stack calls onSipExit once the hang-up has been confirmed.
    m_sipClosed = true;
    tmr_start(&m_graceTimer, kShutdownGraceMs, onGraceOver, this);
    sip_close(m_sip, false);
}

void SipWorker::onSipExit(void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    self->m_sipExited = true;
    tmr_cancel(&self->m_graceTimer);
    re_cancel();
}

void SipWorker::onGraceOver(void *arg)
{
    sip_close(static_cast<SipWorker *>(arg)->m_sip, true);
    re_cancel();
}

void SipWorker::onProgress(const struct sip_msg *, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (self->m_progress)
        return;
    self->m_progress = true;
    tmr_cancel(&self->m_answerTimer);
    tmr_start(&self->m_ringTimer, uint64_t(std::max(1, self->m_ringMs)), onRingTimeout, self);
}

int SipWorker::onAnswer(const struct sip_msg *msg, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (const int err = sdp_decode(self->m_sdp, msg->mb, false))
        return err;
    const struct sa *remote = sdp_media_raddr(self->m_media);
    if (!remote || !sa_isset(remote, SA_ALL))
        return EPROTO;
    bool found = false;
    for (SipCodec codec : self->m_settings.codecs) {
        if (sdp_media_rformat(self->m_media, codecName(codec))) {
            self->m_codec = codec;
            found = true;
            break;
        }
    }
    if (!found)
        return EPROTO;
    const struct sdp_format *events = sdp_media_rformat(self->m_media, "telephone-event");
    self->m_eventPt = events ? events->pt : -1;
    self->m_remote = *remote;
    return 0;
}

void SipWorker::onEstablished(const struct sip_msg *, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (self->m_timing.answeredNs == 0)
        self->m_timing.answeredNs = steadyNowNs();
    tmr_cancel(&self->m_answerTimer);
    tmr_cancel(&self->m_ringTimer);
    self->m_established = true;
    self->m_rtp->start(self->m_remote, self->m_codec, self->m_eventPt);
    const quint64 call = self->m_call;
    self->m_engine.toUi([e = &self->m_engine, call] { Q_EMIT e->dialFinished(call, 107, {}); });
}

void SipWorker::onClose(int err, const struct sip_msg *msg, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    const quint64 call = self->m_call;
    const bool wasUp = self->m_established;
    const QString reason = msg && msg->scode ? responseText(msg)
                           : err             ? errorText(err)
                                             : QStringLiteral("closed");
    tmr_cancel(&self->m_answerTimer);
    tmr_cancel(&self->m_ringTimer);
    // The owner hears of the hang-up before the end of any job it broke, so
    // the job's failure already finds the far end gone.
    if (wasUp)
        self->m_engine.toUi([e = &self->m_engine, call] { Q_EMIT e->callEnded(call); });
    else
        self->m_engine.toUi(
            [e = &self->m_engine, call, reason] { Q_EMIT e->dialFinished(call, 112, reason); });
    self->m_rtp->stop(LineEnding::HangUp);
    self->m_sess = static_cast<struct sipsess *>(mem_deref(self->m_sess));
    self->m_progress = false;
    self->m_established = false;
}

void SipWorker::onAnswerTimeout(void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (self->m_progress || self->m_established || !self->m_sess)
        return;
    self->failCall(QStringLiteral("no response from the far end"));
}

void SipWorker::onRingTimeout(void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (self->m_established || !self->m_sess)
        return;
    self->failCall(QStringLiteral("not answered within the ring time"));
}

void SipWorker::onIncoming(const struct sip_msg *msg, void *arg)
{
    // The workstation only ever places calls.
    (void)sip_treply(nullptr, static_cast<SipWorker *>(arg)->m_sip, msg, 603, "Decline");
}

bool SipWorker::onRequest(const struct sip_msg *msg, void *arg)
{
    if (pl_strcmp(&msg->met, "OPTIONS") != 0)
        return false;
    (void)sip_treply(nullptr, static_cast<SipWorker *>(arg)->m_sip, msg, 200, "OK");
    return true;
}

int SipWorker::onAuth(char **user, char **password, const char *, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    if (self->m_user.isEmpty())
        return EAUTH;
    int err = str_dup(user, self->m_user.constData());
    err |= str_dup(password, self->m_password.constData());
    return err;
}

void SipWorker::onRegistered(int err, const struct sip_msg *msg, void *arg)
{
    auto *self = static_cast<SipWorker *>(arg);
    const bool failed = err != 0 || !msg || msg->scode >= 300;
    if (!failed) {
        if (std::exchange(self->m_registrationReported, false))
            self->m_engine.toUi([e = &self->m_engine] { Q_EMIT e->registrationRestored(); });
        return;
    }
    if (self->m_registrationReported)
        return;
    self->m_registrationReported = true;
    const QString reason = err   ? errorText(err)
                           : msg ? responseText(msg)
                                 : QStringLiteral("no answer");
    // 401 and 407 come back only when the answer to the challenge was
    // refused; 403 is a telephone system's usual word for a wrong password.
    const bool credentials =
        !err && msg && (msg->scode == 401 || msg->scode == 403 || msg->scode == 407);
    self->m_engine.toUi([e = &self->m_engine, reason, credentials] {
        Q_EMIT e->registrationFailed(reason, credentials);
    });
}

} // namespace VoiceBocxLib

#pragma once

// The SIP stack on the line's thread: the SIP socket, an optional
// registration, the one call this workstation places, and the call's audio
// (RtpStream). Incoming calls are refused.

#include "libre.h"
#include "rtp_stream.h"
#include "sip_settings.h"

#include <QByteArray>

#include <memory>

namespace VoiceBocxLib
{

class SipEngine;

class SipWorker
{
public:
    SipWorker(const SipSettings &settings, SipEngine &engine);
    ~SipWorker();
    SipWorker(const SipWorker &) = delete;
    SipWorker &operator=(const SipWorker &) = delete;

    /// Opens the sockets and starts a registration; the reason on failure.
    QString start();
    /// Ends the call and the registration, then leaves re_main() once the
    /// far end has confirmed, or after a short grace.
    void shutdown();

    QString localAddress() const;
    quint16 sipPort() const;
    RtpStream &rtp() { return *m_rtp; }

    void dial(quint64 call, const QByteArray &target, int answerMs, int ringMs);
    void hangUp();
    /// The moments since it was last asked; starts afresh.
    LineTiming takeLineTiming();

private:
    static void onProgress(const struct sip_msg *msg, void *arg);
    static int onAnswer(const struct sip_msg *msg, void *arg);
    static void onEstablished(const struct sip_msg *msg, void *arg);
    static void onClose(int err, const struct sip_msg *msg, void *arg);
    static void onIncoming(const struct sip_msg *msg, void *arg);
    static bool onRequest(const struct sip_msg *msg, void *arg);
    static int onAuth(char **user, char **password, const char *realm, void *arg);
    static void onRegistered(int err, const struct sip_msg *msg, void *arg);
    static void onAnswerTimeout(void *arg);
    static void onRingTimeout(void *arg);
    static void onSipExit(void *arg);
    static void onGraceOver(void *arg);

    void failCall(const QString &reason);
    void releaseSession();
    QByteArray fromUri() const;

    SipSettings m_settings;
    SipEngine &m_engine;
    QByteArray m_user;
    QByteArray m_password;
    struct sa m_laddr;
    struct dnsc *m_dnsc = nullptr;
    struct sip *m_sip = nullptr;
    struct sip_lsnr *m_listener = nullptr;
    struct sipsess_sock *m_sessSock = nullptr;
    struct sipreg *m_reg = nullptr;
    struct sipsess *m_sess = nullptr;
    struct sdp_session *m_sdp = nullptr;
    struct sdp_media *m_media = nullptr;
    std::unique_ptr<RtpStream> m_rtp;
    struct tmr m_answerTimer;
    struct tmr m_ringTimer;
    struct tmr m_graceTimer;
    quint64 m_call = 0;
    bool m_progress = false;
    bool m_established = false;
    bool m_sipClosed = false;
    bool m_sipExited = false;
    bool m_registrationReported = false;
    int m_ringMs = 0;
    SipCodec m_codec = SipCodec::Pcmu;
    int m_eventPt = -1;
    struct sa m_remote;
    LineTiming m_timing;
};

} // namespace VoiceBocxLib

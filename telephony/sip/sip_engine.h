#pragma once

// The SIP line's thread and the queue between it and the user-interface
// thread. libre runs its own event loop (re_main) on this thread; every
// libre object is created, used and released there. The user-interface
// thread hands it commands through libre's message queue and hears back
// through queued calls on this QObject, so the signals below are emitted on
// the user-interface thread.

#include "line_job.h"
#include "realtime_thread.h"
#include "sip_settings.h"

#include <QObject>

#include <functional>
#include <future>
#include <thread>

struct mqueue;

namespace VoiceBocxLib
{

class SipWorker;

class SipEngine : public QObject
{
    Q_OBJECT
public:
    /// Starts the thread and the SIP stack on the settings' addresses.
    /// Throws modVNQRN::Error with the reason when they cannot be used.
    explicit SipEngine(const SipSettings &settings, QObject *parent = nullptr);
    /// Ends any call and stops the thread (waiting at most about a second
    /// for the far end to confirm the hang-up).
    ~SipEngine() override;

    QString localAddress() const { return m_localAddress; }
    quint16 sipPort() const { return m_sipPort; }
    quint16 rtpPort() const { return m_rtpPort; }

    /// Calls `target`; dialFinished() tells the outcome. `answerMs`: how long
    /// the far end may take to respond at all; `ringMs`: how long it may ring.
    void dial(quint64 call, const QString &target, int answerMs, int ringMs);
    /// Ends the call (or the attempt) now; nothing more is heard of it.
    void hangUp();
    void play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys);
    void record(quint64 job, int maxMs, int silenceMs);
    /// Ends `job` and returns its outcome; blocks only until the line's
    /// thread has answered (well under a millisecond).
    LineResult stop(quint64 job);
    PlayTiming lastPlayTiming();
    LineTiming takeLineTiming();
    quint64 foreignPackets();
    QVector<SentPacket> sentPackets();
    ThreadPriority senderPriority();

Q_SIGNALS:
    void dialFinished(quint64 call, int status, const QString &reason);
    /// The far end hung up (or the call broke) after it had been answered.
    void callEnded(quint64 call);
    void keyPressed(quint64 call, QChar key);
    void jobFinished(quint64 job, const VoiceBocxLib::LineResult &result);
    /// The telephone system refused or did not answer the registration;
    /// `credentials`: it refused the user name or password.
    void registrationFailed(const QString &reason, bool credentials);
    /// The line is registered (again) after a failure.
    void registrationRestored();

private:
    friend class SipWorker;
    using Command = std::function<void(SipWorker &)>;

    void run(std::promise<QString> started);
    void post(Command command);
    template <typename R> R ask(std::function<R(SipWorker &)> question);
    static void onCommand(int id, void *data, void *arg);
    /// From the line's thread: runs `what` on the user-interface thread.
    void toUi(std::function<void()> what);

    SipSettings m_settings;
    std::thread m_thread;
    struct mqueue *m_queue = nullptr;
    QString m_localAddress;
    quint16 m_sipPort = 0;
    quint16 m_rtpPort = 0;
};

} // namespace VoiceBocxLib

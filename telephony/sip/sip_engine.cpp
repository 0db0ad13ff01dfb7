#include "sip_engine.h"

#include "sip_worker.h"

#include "shared/error.h"

#include <QMetaObject>

#include <chrono>
#include <cstring>
#include <mutex>

namespace VoiceBocxLib
{

namespace
{

// The line's thread answers within microseconds; this only guards against a
// thread that is gone.
constexpr std::chrono::seconds kAnswerLimit{5};

int startLibrary()
{
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] { result = libre_init(); });
    return result;
}

modVNQRN::Error lineError(const QString &text)
{
    return modVNQRN::Error(modVNQRN::errUnexpected, text);
}

} // namespace

SipEngine::SipEngine(const SipSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings)
{
    if (const int err = startLibrary())
        throw lineError(u"the SIP library could not start: " +
                        QString::fromLocal8Bit(std::strerror(err)));
    std::promise<QString> started;
    std::future<QString> result = started.get_future();
    m_thread = std::thread([this, p = std::move(started)]() mutable { run(std::move(p)); });
    const QString failure = result.get();
    if (!failure.isEmpty()) {
        m_thread.join();
        throw lineError(failure);
    }
}

SipEngine::~SipEngine()
{
    post([](SipWorker &worker) { worker.shutdown(); });
    m_thread.join();
}

void SipEngine::run(std::promise<QString> started)
{
    re_thread_init();
    {
        SipWorker worker(m_settings, *this);
        QString failure = worker.start();
        if (failure.isEmpty() && mqueue_alloc(&m_queue, onCommand, &worker) != 0)
            failure = QStringLiteral("the SIP line's command queue could not be created");
        if (!failure.isEmpty()) {
            started.set_value(failure);
        } else {
            m_localAddress = worker.localAddress();
            m_sipPort = worker.sipPort();
            m_rtpPort = worker.rtp().port();
            started.set_value({});
            re_main(nullptr);
        }
        m_queue = static_cast<struct mqueue *>(mem_deref(m_queue));
    }
    re_thread_close();
}

void SipEngine::onCommand(int, void *data, void *arg)
{
    std::unique_ptr<Command> command(static_cast<Command *>(data));
    (*command)(*static_cast<SipWorker *>(arg));
}

void SipEngine::post(Command command)
{
    auto *queued = new Command(std::move(command));
    if (mqueue_push(m_queue, 0, queued) != 0)
        delete queued;
}

template <typename R> R SipEngine::ask(std::function<R(SipWorker &)> question)
{
    auto answer = std::make_shared<std::promise<R>>();
    std::future<R> result = answer->get_future();
    post([answer, question = std::move(question)](SipWorker &worker) {
        answer->set_value(question(worker));
    });
    if (result.wait_for(kAnswerLimit) != std::future_status::ready)
        throw lineError(QStringLiteral("the SIP line does not answer"));
    return result.get();
}

void SipEngine::toUi(std::function<void()> what)
{
    QMetaObject::invokeMethod(this, std::move(what), Qt::QueuedConnection);
}

void SipEngine::dial(quint64 call, const QString &target, int answerMs, int ringMs)
{
    post([call, target = target.toUtf8(), answerMs, ringMs](SipWorker &worker) {
        worker.dial(call, target, answerMs, ringMs);
    });
}

void SipEngine::hangUp()
{
    post([](SipWorker &worker) { worker.hangUp(); });
}

void SipEngine::play(quint64 job, SharedAudio audio, qint64 from, const QString &stopKeys)
{
    const qint64 requested = steadyNowNs();
    post([job, audio = std::move(audio), from, stopKeys, requested](SipWorker &worker) {
        worker.rtp().play(job, audio, from, stopKeys, requested);
    });
}

void SipEngine::record(quint64 job, int maxMs, int silenceMs)
{
    post(
        [job, maxMs, silenceMs](SipWorker &worker) { worker.rtp().record(job, maxMs, silenceMs); });
}

LineResult SipEngine::stop(quint64 job)
{
    return ask<LineResult>([job](SipWorker &worker) { return worker.rtp().stopJob(job); });
}

PlayTiming SipEngine::lastPlayTiming()
{
    return ask<PlayTiming>([](SipWorker &worker) { return worker.rtp().lastPlayTiming(); });
}

LineTiming SipEngine::takeLineTiming()
{
    return ask<LineTiming>([](SipWorker &worker) { return worker.takeLineTiming(); });
}

quint64 SipEngine::foreignPackets()
{
    return ask<quint64>([](SipWorker &worker) { return worker.rtp().foreignPackets(); });
}

QVector<SentPacket> SipEngine::sentPackets()
{
    return ask<QVector<SentPacket>>([](SipWorker &worker) { return worker.rtp().sentPackets(); });
}

ThreadPriority SipEngine::senderPriority()
{
    return ask<ThreadPriority>([](SipWorker &worker) { return worker.rtp().senderPriority(); });
}

} // namespace VoiceBocxLib

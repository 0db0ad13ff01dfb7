#include "sip_voice_board.h"

#include "telephony/collected_digits.h"

#include "call_audio.h"
#include "sip_engine.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"
#include "telephony/vox_decoder.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace VoiceBocxLib
{

namespace
{

thread_local SipVoiceBoard *lastCreated = nullptr;

// Beyond its own length, how long a wait for the line's thread may last
// before the operation is given up (the thread answers in microseconds).
constexpr int kGraceMs = 5000;

qint64 samplesToMs(qint64 samples)
{
    return samples * 1000 / kCallRate;
}

} // namespace

// One blocking operation: a nested event loop that ends when the line says
// so, the owner stops it, or the guard runs out.
struct SipVoiceBoard::Wait {
    explicit Wait(qint32 channelState) : state(channelState)
    {
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, [this] {
            timedOut = true;
            finished = true;
            loop.quit();
        });
    }
    void run(int guardMs)
    {
        if (finished)
            return;
        if (guardMs >= 0)
            guard.start(guardMs);
        loop.exec();
        guard.stop();
    }
    // The board was deleted while it waited (its owner went away during a
    // call): the operation ends with the far end gone and touches nothing of
    // the board, which no longer exists.
    void leaveIfOwnerGone() const
    {
        if (ownerGone)
            throw voiceBocxError(vbErrFarEndGone);
    }

    qint32 state;
    quint64 job = 0; // the media job waited for; 0 for a call or digits
    QEventLoop loop;
    QTimer guard;
    bool finished = false;
    bool timedOut = false;
    bool ownerGone = false;
    LineEnding ending = LineEnding::Stopped;
    LineResult result;
};

SipVoiceBoard::SipVoiceBoard(const SipSettings &settings, std::unique_ptr<WaveDevice> wave)
    : RoutedVoiceBoard(std::move(wave)), m_settings(settings),
      m_engine(std::make_unique<SipEngine>(settings))
{
    SipEngine *engine = m_engine.get();
    QObject::connect(engine, &SipEngine::dialFinished, engine,
                     [this](quint64 call, int status, const QString &reason) {
                         onDialFinished(call, status, reason);
                     });
    QObject::connect(engine, &SipEngine::callEnded, engine,
                     [this](quint64 call) { onCallEnded(call); });
    QObject::connect(engine, &SipEngine::keyPressed, engine,
                     [this](quint64 call, QChar key) { onKey(call, key); });
    QObject::connect(engine, &SipEngine::jobFinished, engine,
                     [this](quint64 job, const LineResult &result) { onJobFinished(job, result); });
    QObject::connect(engine, &SipEngine::registrationFailed, engine,
                     [this](const QString &reason, bool credentials) {
                         onRegistrationFailed(reason, credentials);
                     });
    QObject::connect(engine, &SipEngine::registrationRestored, engine, [this] {
        modVNQRN::WriteLog(u"VoiceBoard SIP registration of " + m_settings.user + u" at " +
                           m_settings.serverHost + u" succeeded again");
    });
    lastCreated = this;
}

SipVoiceBoard::~SipVoiceBoard()
{
    if (lastCreated == this)
        lastCreated = nullptr;
    if (m_wait) {
        m_wait->ownerGone = true;
        finishWait(LineEnding::Stopped);
    }
    // The engine's destruction hangs the call up.
}

SipVoiceBoard *SipVoiceBoard::last()
{
    return lastCreated;
}

QString SipVoiceBoard::localAddress() const
{
    return m_engine->localAddress();
}

quint16 SipVoiceBoard::sipPort() const
{
    return m_engine->sipPort();
}

quint16 SipVoiceBoard::rtpPort() const
{
    return m_engine->rtpPort();
}

PlayTiming SipVoiceBoard::lastPlayTiming() const
{
    return m_engine->lastPlayTiming();
}

LineTiming SipVoiceBoard::takeLineTiming()
{
    return m_engine->takeLineTiming();
}

quint64 SipVoiceBoard::foreignPackets() const
{
    return m_engine->foreignPackets();
}

QVector<SentPacket> SipVoiceBoard::sentPackets() const
{
    return m_engine->sentPackets();
}

ThreadPriority SipVoiceBoard::senderPriority() const
{
    return m_engine->senderPriority();
}

int SipVoiceBoard::scaledMs(qint64 ms) const
{
    const double scaled = double(ms) * m_settings.timeScale;
    return static_cast<int>(std::clamp(std::llround(scaled), 1LL, qint64(INT_MAX / 2)));
}

int SipVoiceBoard::answerTimeMs() const
{
    return scaledMs(qint64(m_answerHundredths > 0 ? m_answerHundredths : 1500) * 10);
}

int SipVoiceBoard::ringTimeMs() const
{
    return scaledMs(qint64(m_ringHundredths > 0 ? m_ringHundredths : 2000) * 10);
}

void SipVoiceBoard::SetParameter(qint32 code, qint32 value)
{
    if (code == kParamConnectAck)
        m_answerHundredths = value;
    else if (code == kParamRingWait)
        m_ringHundredths = value;
}

qint32 SipVoiceBoard::ChannelState() const
{
    if (m_wait)
        return m_wait->state;
    return m_dialling ? kChannelDialling : kChannelIdle;
}

void SipVoiceBoard::finishWait(LineEnding ending, const LineResult &result)
{
    if (!m_wait || m_wait->finished)
        return;
    m_wait->finished = true;
    m_wait->ending = ending;
    m_wait->result = result;
    m_wait->loop.quit();
}

void SipVoiceBoard::requireCall()
{
    if (TrunkChannel() < 0)
        throw voiceBocxError(vbErrNoTrunk);
    if (m_farEndGone) {
        m_callStatus = kFarEndGone;
        throw voiceBocxError(vbErrFarEndGone);
    }
    if (!m_callUp) {
        // No far end on the line (a call that was never answered): say so as
        // 109, so that the helper releases the line and the next play dials.
        m_callStatus = kFarEndGone;
        throw voiceBocxError(vbErrNoCall);
    }
    if (m_wait)
        throw voiceBocxError(vbErrBusy);
}

void SipVoiceBoard::Dial(const QString &number, bool wait)
{
    if (TrunkChannel() < 0)
        throw voiceBocxError(vbErrNoTrunk);
    if (m_wait)
        throw voiceBocxError(vbErrBusy);
    if (m_callUp || m_dialling)
        m_engine->hangUp();
    ++m_call;
    m_callUp = false;
    m_farEndGone = false;
    m_digits.clear();
    m_callStatus = 0;
    m_lastOutcome.clear();

    const QString target = m_settings.phoneAddress.isEmpty()
                               ? sipDialTarget(number, m_settings)
                               : sipDialTarget(m_settings.phoneAddress, SipSettings());
    if (target.isEmpty()) {
        m_callStatus = kCallFailed;
        m_lastOutcome =
            u"\"" + number +
            (m_settings.hasServer()
                 ? QStringLiteral("\" is not a number or SIP address")
                 : QStringLiteral("\" is not a telephone's address and no SipServer is set"));
        modVNQRN::WriteLog(u"VoiceBoard SIP call not placed: " + m_lastOutcome);
        return;
    }
    m_dialling = true;
    const int answerMs = answerTimeMs();
    const int ringMs = ringTimeMs();
    m_engine->dial(m_call, target, answerMs, ringMs);
    if (!wait)
        return;

    Wait w(kChannelDialling);
    m_wait = &w;
    w.run(answerMs + ringMs + kGraceMs);
    w.leaveIfOwnerGone();
    m_wait = nullptr;
    if (m_dialling) {
        // The line's thread never told the outcome.
        m_dialling = false;
        m_engine->hangUp();
        m_callStatus = kCallFailed;
        if (w.timedOut)
            m_lastOutcome = QStringLiteral("the SIP line did not answer");
    }
}

void SipVoiceBoard::onDialFinished(quint64 call, int status, const QString &reason)
{
    if (call != m_call || !m_dialling)
        return;
    m_dialling = false;
    m_callStatus = status;
    m_callUp = status == kCallAnswered;
    m_lastOutcome = reason;
    if (m_wait && m_wait->state == kChannelDialling)
        finishWait(LineEnding::End);
}

void SipVoiceBoard::onCallEnded(quint64 call)
{
    if (call != m_call || !m_callUp)
        return;
    m_callUp = false;
    m_farEndGone = true;
    m_callStatus = kFarEndGone;
    m_lastOutcome = QStringLiteral("the far end hung up");
    // The blocked operation learns of it after the owner has handled the event.
    finishWait(LineEnding::HangUp);
    raiseCallerHangup();
}

void SipVoiceBoard::HangUp()
{
    if (m_wait && m_wait->job != 0)
        finishWait(LineEnding::Stopped, m_engine->stop(m_wait->job));
    else
        finishWait(LineEnding::Stopped);
    m_engine->hangUp();
    ++m_call;
    if (m_dialling)
        m_callStatus = kCallFailed; // a call given up while it rang
    m_callUp = false;
    m_farEndGone = false;
    m_dialling = false;
    m_digits.clear();
}

void SipVoiceBoard::onRegistrationFailed(const QString &reason, bool credentials)
{
    modVNQRN::WriteLog(u"VoiceBoard SIP registration of " + m_settings.user + u" at " +
                       m_settings.serverHost + u" failed: " + reason);
    if (!credentials)
        return;
    // The operator can do nothing about a telephone system that is away (the
    // line registers again by itself), but wrong credentials stay wrong
    // until someone changes the settings: say so once.
    modVNQRN::MsgBox(u"The telephone system " + m_settings.serverHost +
                         u" refused the message line's registration as " + m_settings.user + u" (" +
                         reason +
                         u").\r\nCheck SipUser and SipPassword in section "
                         u"VoiceBoard of the workstation's settings.",
                     modVNQRN::MsgBoxIcon::Exclamation);
}

void SipVoiceBoard::onKey(quint64 call, QChar key)
{
    if (call != m_call || !m_callUp)
        return;
    m_digits += key;
    if (m_wait && m_wait->state == kChannelDigits && digitsComplete(m_digits, m_digitCount))
        finishWait(LineEnding::End);
}

void SipVoiceBoard::onJobFinished(quint64 job, const LineResult &result)
{
    // The end of a job that was already given up (a hang-up came first) may
    // arrive during a later wait: only the job waited for counts.
    if (m_wait && m_wait->job == job)
        finishWait(result.ending, result);
}

LineResult SipVoiceBoard::runJob(qint32 state, qint64 expectedMs,
                                 const std::function<void(quint64)> &start)
{
    Wait w(state);
    const quint64 job = ++m_job;
    w.job = job;
    m_wait = &w;
    start(job);
    w.run(int(std::min<qint64>(expectedMs + kGraceMs, INT_MAX / 2)));
    w.leaveIfOwnerGone();
    m_wait = nullptr;
    if (w.timedOut) {
        m_playing = false;
        m_engine->stop(job);
        throw voiceBocxError(vbErrOperationFailed);
    }
    LineResult result = std::move(w.result);
    result.ending = w.ending;
    return result;
}

void SipVoiceBoard::playAudio(const QString &path, const QString &stopKeys, qint32 skipSeconds,
                              bool clearKeys)
{
    requireCall();
    PcmAudio decoded;
    try {
        decoded = decodeVoxFile(path, m_settings.voxRate);
    } catch (const modVNQRN::Error &) {
        throw voiceBocxError(vbErrFileOpen);
    }
    auto audio = std::make_shared<const QVector<qint16>>(
        resamplePcm(decoded.samples, decoded.sampleRate, kCallRate));
    const qint64 length = audio->size();
    const qint64 from = std::clamp<qint64>(qint64(std::max(0, skipSeconds)) * kCallRate, 0, length);
    if (clearKeys)
        m_digits.clear(); // keys pressed before the play do not stop it

    m_playing = true;
    m_playFrom = from;
    m_playLength = length;
    m_playEnd = from;
    m_playClock.start();
    // A play that fails here has m_playing cleared by runJob (the board
    // may be gone by then).
    const LineResult result = runJob(kChannelPlaying, samplesToMs(length - from), [&](quint64 job) {
        m_engine->play(job, audio, from, stopKeys);
    });
    m_playing = false;
    m_playEnd = std::min(length, from + result.samples);
    if (result.ending == LineEnding::HangUp ||
        (result.ending == LineEnding::NoCall && m_farEndGone)) {
        m_callStatus = kFarEndGone;
        throw voiceBocxError(vbErrFarEndGone);
    }
    if (result.ending == LineEnding::NoCall)
        throw voiceBocxError(vbErrNoCall);
}

void SipVoiceBoard::linePlayFile(const QString &path, qint32, const QString &stopTones,
                                 qint32 skipSeconds)
{
    playAudio(path, stopTones, skipSeconds, true);
}

void SipVoiceBoard::PlayPrompt(const QString &path)
{
    // Keys pressed during the prompt are kept for CollectDigits.
    playAudio(path, QString(), 0, false);
}

qint32 SipVoiceBoard::lineElapsedSeconds() const
{
    qint64 played = m_playEnd - m_playFrom;
    if (m_playing)
        played = std::min(m_playLength - m_playFrom, m_playClock.elapsed() * kCallRate / 1000);
    return static_cast<qint32>(played / kCallRate);
}

void SipVoiceBoard::lineStopVoice()
{
    if (!m_wait || m_wait->job == 0)
        return;
    LineResult result = m_engine->stop(m_wait->job);
    // A job that ended by itself just before keeps its own ending.
    const LineEnding ending =
        result.ending == LineEnding::NoCall ? LineEnding::Stopped : result.ending;
    finishWait(ending, result);
}

void SipVoiceBoard::GenerateTone(qint32 frequency, qint32 level, qint32 length)
{
    requireCall();
    auto beep = std::make_shared<const QVector<qint16>>(beepSamples(frequency, level, length));
    const LineResult result = runJob(kChannelTone, samplesToMs(beep->size()),
                                     [&](quint64 job) { m_engine->play(job, beep, 0, QString()); });
    if (result.ending == LineEnding::HangUp || result.ending == LineEnding::NoCall) {
        m_callStatus = kFarEndGone;
        throw voiceBocxError(vbErrFarEndGone);
    }
}

void SipVoiceBoard::RecordFile(const QString &path, qint32, qint32 maxSeconds,
                               qint32 silenceSeconds)
{
    requireCall();
    const int maxMs = maxSeconds > 0 ? scaledMs(qint64(maxSeconds) * 1000) : 0;
    const int silenceMs = silenceSeconds > 0 ? scaledMs(qint64(silenceSeconds) * 1000) : 0;
    // Without a maximum a recording runs until silence, StopVoice or the hang-up.
    const qint64 expectedMs = maxMs > 0 ? maxMs : INT_MAX / 4;
    const LineResult result = runJob(kChannelRecording, expectedMs,
                                     [&](quint64 job) { m_engine->record(job, maxMs, silenceMs); });
    try {
        writeVoxFile(path, resamplePcm(result.recorded, kCallRate, m_settings.voxRate),
                     m_settings.voxRate);
    } catch (const modVNQRN::Error &) {
        throw voiceBocxError(vbErrFileWrite);
    }
    if (result.ending == LineEnding::HangUp || result.ending == LineEnding::NoCall) {
        m_callStatus = kFarEndGone;
        throw voiceBocxError(vbErrFarEndGone);
    }
}

QString SipVoiceBoard::CollectDigits(qint32 count, qint32 timeoutSeconds, qint16)
{
    requireCall();
    m_digitCount = std::max<qint32>(1, count);
    if (!digitsComplete(m_digits, m_digitCount)) {
        Wait w(kChannelDigits);
        m_wait = &w;
        w.run(timeoutSeconds > 0 ? scaledMs(qint64(timeoutSeconds) * 1000) : -1);
        w.leaveIfOwnerGone();
        m_wait = nullptr;
        if (w.ending == LineEnding::HangUp) {
            m_callStatus = kFarEndGone;
            throw voiceBocxError(vbErrFarEndGone);
        }
    }
    return takeDigits(m_digits, m_digitCount);
}

} // namespace VoiceBocxLib

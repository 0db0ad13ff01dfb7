#include "simulated_voice_board.h"

#include "collected_digits.h"

#include <QFile>

#include <cmath>

namespace VoiceBocxLib
{

namespace
{

thread_local SimulatedVoiceBoard *lastCreated = nullptr;

// A beep's length unit: a quarter of a second.
constexpr double kToneUnitSeconds = 0.25;

qint32 wholeSeconds(double seconds)
{
    return static_cast<qint32>(std::floor(seconds + 1e-9));
}

} // namespace

SimulatedVoiceBoard::SimulatedVoiceBoard(const Settings &settings, std::unique_ptr<WaveDevice> wave)
    : RoutedVoiceBoard(std::move(wave)), m_settings(settings)
{
    lastCreated = this;
}

SimulatedVoiceBoard::~SimulatedVoiceBoard()
{
    if (lastCreated == this)
        lastCreated = nullptr;
    if (m_current)
        m_current->abandon();
}

SimulatedVoiceBoard *SimulatedVoiceBoard::last()
{
    return lastCreated;
}

SimulatedWaveDevice *SimulatedVoiceBoard::simulatedWave() const
{
    return dynamic_cast<SimulatedWaveDevice *>(waveDevice());
}

void SimulatedVoiceBoard::setTimeScale(double scale)
{
    m_settings.timeScale = scale;
    if (auto *wave = simulatedWave())
        wave->setTimeScale(scale);
}

void SimulatedVoiceBoard::setDialOutcome(qint32 status, double afterSeconds)
{
    m_dialStatus = status;
    m_settings.answerSeconds = afterSeconds;
}

void SimulatedVoiceBoard::during(SimOp op, double second, std::function<void()> action)
{
    m_script.push_back({op, second, std::move(action)});
}

void SimulatedVoiceBoard::pressKeysDuring(SimOp op, double second, const QString &keys)
{
    during(op, second, [this, keys] { pressKeys(keys); });
}

void SimulatedVoiceBoard::hangUpDuring(SimOp op, double second)
{
    during(op, second, [this] { hangUp(); });
}

void SimulatedVoiceBoard::failNext(SimOp op, qint32 callStatus)
{
    m_failures.append({op, callStatus});
}

qint32 SimulatedVoiceBoard::ChannelState() const
{
    if (m_current)
        return m_currentState;
    return m_stuckBusy ? kChannelPlaying : kChannelIdle;
}

void SimulatedVoiceBoard::pressKeys(const QString &keys)
{
    m_digits += keys;
    if (!m_current)
        return;
    if (m_currentOp == SimOp::PlayFile) {
        for (QChar key : keys) {
            if (m_stopTones.contains(key)) {
                m_current->finish(SimEnding::StopTone);
                return;
            }
        }
    } else if (m_currentOp == SimOp::CollectDigits && digitsComplete(m_digits, m_digitCount)) {
        m_current->finish(SimEnding::Done);
    }
}

void SimulatedVoiceBoard::hangUp()
{
    if (!m_callUp)
        return;
    m_callUp = false;
    m_farEndGone = true;
    m_callStatus = kFarEndGone;
    // The blocked operation learns of it when control returns to its loop,
    // after the event has been handled.
    if (m_current)
        m_current->finish(SimEnding::HangUp);
    raiseCallerHangup();
}

void SimulatedVoiceBoard::HangUp()
{
    ++m_hangUpCount;
    m_callUp = false;
    m_farEndGone = false;
    m_digits.clear();
    if (m_current && m_current->running())
        m_current->finish(SimEnding::StopVoice);
}

void SimulatedVoiceBoard::SetCallOptions(qint32 a, qint32 b, qint32 c, qint32 d)
{
    m_callOptions.append({a, b, c, d});
}

void SimulatedVoiceBoard::requireCall()
{
    if (TrunkChannel() < 0 || TrunkChannel() >= m_settings.channels)
        throw voiceBocxError(m_settings.channels == 0 ? vbErrNoDevice : vbErrNoTrunk);
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
}

void SimulatedVoiceBoard::takeFailure(SimOp op)
{
    for (qsizetype i = 0; i < m_failures.size(); ++i) {
        if (m_failures[i].first != op && m_failures[i].first != SimOp::Any)
            continue;
        m_callStatus = m_failures.takeAt(i).second;
        if (m_callStatus == kFarEndGone) {
            m_callUp = false;
            m_farEndGone = true;
        }
        throw voiceBocxError(vbErrOperationFailed);
    }
}

SimulatedVoiceBoard::Outcome SimulatedVoiceBoard::runOperation(SimOp op, qint32 state,
                                                               double lengthSeconds)
{
    if (m_current)
        throw voiceBocxError(vbErrBusy);
    SimulatedOperation operation(m_settings.timeScale, lengthSeconds);
    for (auto it = m_script.begin(); it != m_script.end();) {
        if (it->op == op || it->op == SimOp::Any) {
            operation.at(it->second, std::move(it->action));
            it = m_script.erase(it);
        } else {
            ++it;
        }
    }
    m_current = &operation;
    m_currentOp = op;
    m_currentState = state;
    const SimEnding ending = operation.run();
    // Deleted while it ran (its owner went away): nothing of it is left to touch.
    if (operation.abandoned())
        throw voiceBocxError(vbErrFarEndGone);
    m_current = nullptr;
    m_currentState = kChannelIdle;
    return {ending, operation.position()};
}

void SimulatedVoiceBoard::Dial(const QString &number, bool)
{
    if (m_settings.channels == 0)
        throw voiceBocxError(vbErrNoDevice);
    if (TrunkChannel() < 0 || TrunkChannel() >= m_settings.channels)
        throw voiceBocxError(vbErrNoTrunk);
    takeFailure(SimOp::Dial);
    m_dials.append(number);
    m_callStatus = 0;
    m_callUp = false;
    m_farEndGone = false;
    m_digits.clear();
    runOperation(SimOp::Dial, kChannelDialling, m_settings.answerSeconds);
    m_callStatus = m_dialStatus;
    m_callUp = m_dialStatus == kCallAnswered;
}

void SimulatedVoiceBoard::linePlayFile(const QString &path, qint32, const QString &stopTones,
                                       qint32 skipSeconds)
{
    requireCall();
    takeFailure(SimOp::PlayFile);
    const double length = voiceFileSeconds(path);
    const double skip = std::max<qint32>(0, skipSeconds);
    // Keys pressed before the play do not stop it.
    m_digits.clear();
    m_stopTones = stopTones;
    m_playSkip = skip;
    m_playLength = length;
    const Outcome out =
        runOperation(SimOp::PlayFile, kChannelPlaying, std::max(0.0, length - skip));
    m_stopTones.clear();
    const double end = std::min(length, skip + out.position);
    m_elapsed = wholeSeconds(end - skip);
    m_plays.append({path, static_cast<qint32>(skip), end, out.ending});
    if (out.ending == SimEnding::HangUp)
        throw voiceBocxError(vbErrFarEndGone);
}

qint32 SimulatedVoiceBoard::lineElapsedSeconds() const
{
    // Read during a stop, before the blocked play has returned, it is already final.
    if (m_current && m_currentOp == SimOp::PlayFile)
        return wholeSeconds(std::min(m_playLength - m_playSkip, m_current->position()));
    return m_elapsed;
}

void SimulatedVoiceBoard::lineStopVoice()
{
    if (m_current && (m_currentOp == SimOp::PlayFile || m_currentOp == SimOp::PlayPrompt ||
                      m_currentOp == SimOp::RecordFile))
        m_current->finish(SimEnding::StopVoice);
}

void SimulatedVoiceBoard::GenerateTone(qint32 frequency, qint32 level, qint32 length)
{
    requireCall();
    takeFailure(SimOp::GenerateTone);
    m_tones.append({frequency, level, length});
    const Outcome out =
        runOperation(SimOp::GenerateTone, kChannelTone, std::max(0, length) * kToneUnitSeconds);
    if (out.ending == SimEnding::HangUp)
        throw voiceBocxError(vbErrFarEndGone);
}

void SimulatedVoiceBoard::PlayPrompt(const QString &path)
{
    requireCall();
    takeFailure(SimOp::PlayPrompt);
    const double length = voiceFileSeconds(path);
    m_prompts.append(path);
    const Outcome out = runOperation(SimOp::PlayPrompt, kChannelPlaying, length);
    if (out.ending == SimEnding::HangUp)
        throw voiceBocxError(vbErrFarEndGone);
}

QString SimulatedVoiceBoard::CollectDigits(qint32 count, qint32 timeoutSeconds, qint16)
{
    requireCall();
    takeFailure(SimOp::CollectDigits);
    m_digitCount = std::max<qint32>(1, count);
    if (!digitsComplete(m_digits, m_digitCount)) {
        const Outcome out = runOperation(SimOp::CollectDigits, kChannelDigits,
                                         timeoutSeconds > 0 ? timeoutSeconds : -1.0);
        if (out.ending == SimEnding::HangUp)
            throw voiceBocxError(vbErrFarEndGone);
    }
    return takeDigits(m_digits, m_digitCount);
}

void SimulatedVoiceBoard::RecordFile(const QString &path, qint32, qint32 maxSeconds,
                                     qint32 silenceSeconds)
{
    requireCall();
    takeFailure(SimOp::RecordFile);
    double length = m_speechSeconds + std::max(0, silenceSeconds);
    if (maxSeconds > 0)
        length = std::min<double>(length, maxSeconds);
    const Outcome out = runOperation(SimOp::RecordFile, kChannelRecording, length);
    const double seconds = out.position;
    m_recordings.append({path, seconds, out.ending});
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QByteArray(voiceBytesFor(seconds), '\0')) != voiceBytesFor(seconds))
        throw voiceBocxError(vbErrFileWrite);
    file.close();
    if (out.ending == SimEnding::HangUp)
        throw voiceBocxError(vbErrFarEndGone);
}

} // namespace VoiceBocxLib

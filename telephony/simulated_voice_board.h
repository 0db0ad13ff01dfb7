#pragma once

#include "routed_voice_board.h"
#include "simulated_operation.h"
#include "simulated_wave_device.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace VoiceBocxLib
{

/// The kinds of blocking operation a script can aim at.
enum class SimOp { Any, Dial, PlayFile, PlayPrompt, RecordFile, CollectDigits, GenerateTone };

/// A voice board with a telephone attached, simulated on timers: a call is
/// answered after a delay, a message plays for as long as it lasts (bytes /
/// 4000 seconds, times the time scale), keys pressed on the telephone end a
/// play or feed CollectDigits, and the telephone can hang up at any moment.
/// Tests and the demo script the telephone and read back what happened.
/// The last board created is reachable through last() while it lives.
class SimulatedVoiceBoard : public RoutedVoiceBoard
{
public:
    struct Settings {
        double timeScale = 1.0;     ///< real seconds per simulated second
        qint32 channels = 4;        ///< trunk channels; 0 = no voice device
        double answerSeconds = 2.0; ///< how long the telephone rings before it answers
    };

    struct Tone {
        qint32 frequency, level, length;
    };
    struct Recording {
        QString file;
        double seconds;
        SimEnding ending;
    };

    SimulatedVoiceBoard(const Settings &settings, std::unique_ptr<WaveDevice> wave);
    ~SimulatedVoiceBoard() override;
    static SimulatedVoiceBoard *last();

    // VoiceBocx
    void setLogLevel(qint32 level) override { m_logLevel = level; }
    qint32 ChannelState() const override;
    qint32 CallStatus() const override { return m_callStatus; }
    void HangUp() override;
    QString CollectDigits(qint32 count, qint32 timeoutSeconds = 0, qint16 flags = 0) override;
    void Dial(const QString &number, bool wait = true) override;
    void GenerateTone(qint32 frequency, qint32 level, qint32 length) override;
    void PlayPrompt(const QString &path) override;
    void RecordFile(const QString &path, qint32 format = 0, qint32 maxSeconds = 0,
                    qint32 silenceSeconds = 0) override;
    void SetParameter(qint32 code, qint32 value) override { m_parameters.insert(code, value); }
    void SetCallOptions(qint32 a, qint32 b, qint32 c, qint32 d) override;

    // The telephone's script.
    void setTimeScale(double scale);
    /// The outcome of every later Dial: `status` after `afterSeconds` of ringing.
    void setDialOutcome(qint32 status, double afterSeconds);
    /// Runs `action` at `second` of the next operation of kind `op`.
    void during(SimOp op, double second, std::function<void()> action);
    void pressKeysDuring(SimOp op, double second, const QString &keys);
    void hangUpDuring(SimOp op, double second);
    /// Keys pressed on the telephone now.
    void pressKeys(const QString &keys);
    /// The telephone hangs up now: CallStatus becomes 109, CallerHangup is
    /// raised and a running operation fails with vbErrFarEndGone.
    void hangUp();
    /// The next operation of kind `op` fails at once with `callStatus`.
    void failNext(SimOp op, qint32 callStatus = kFarEndGone);
    /// ChannelState never reads idle while set.
    void setLineStuckBusy(bool stuck) { m_stuckBusy = stuck; }
    /// How long the caller speaks into RecordFile before falling silent.
    void setSpeechSeconds(double seconds) { m_speechSeconds = seconds; }

    // What happened.
    bool callUp() const { return m_callUp; }
    const QList<SimPlay> &plays() const { return m_plays; }
    const QList<Tone> &tones() const { return m_tones; }
    const QStringList &dials() const { return m_dials; }
    const QStringList &prompts() const { return m_prompts; }
    const QList<Recording> &recordings() const { return m_recordings; }
    const QMap<qint32, qint32> &parameters() const { return m_parameters; }
    const QList<QList<qint32>> &callOptions() const { return m_callOptions; }
    qint32 logLevel() const { return m_logLevel; }
    /// How often the owner called HangUp().
    int hangUpCount() const { return m_hangUpCount; }
    SimulatedWaveDevice *simulatedWave() const;

protected:
    qint32 lineDeviceCount() const override { return m_settings.channels; }
    void linePlayFile(const QString &path, qint32 format, const QString &stopTones,
                      qint32 skipSeconds) override;
    void lineStopVoice() override;
    qint32 lineElapsedSeconds() const override;

private:
    struct Scripted {
        SimOp op;
        double second;
        std::function<void()> action;
    };
    struct Outcome {
        SimEnding ending;
        double position;
    };

    void requireCall();
    void takeFailure(SimOp op);
    Outcome runOperation(SimOp op, qint32 state, double lengthSeconds);

    Settings m_settings;
    qint32 m_callStatus = 0;
    qint32 m_logLevel = 0;
    bool m_callUp = false;
    bool m_farEndGone = false;
    bool m_stuckBusy = false;
    qint32 m_dialStatus = kCallAnswered;
    double m_speechSeconds = 3.0;
    qint32 m_elapsed = 0;
    double m_playSkip = 0;
    double m_playLength = 0;
    int m_hangUpCount = 0;

    SimulatedOperation *m_current = nullptr;
    SimOp m_currentOp = SimOp::Any;
    qint32 m_currentState = kChannelIdle;
    QString m_stopTones;
    qint32 m_digitCount = 0;
    QString m_digits;

    std::vector<Scripted> m_script;
    QList<std::pair<SimOp, qint32>> m_failures;
    QList<SimPlay> m_plays;
    QList<Tone> m_tones;
    QStringList m_dials;
    QStringList m_prompts;
    QList<Recording> m_recordings;
    QMap<qint32, qint32> m_parameters;
    QList<QList<qint32>> m_callOptions;
};

} // namespace VoiceBocxLib

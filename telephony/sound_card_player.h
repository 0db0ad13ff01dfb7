#pragma once

#include "telephony/vox_decoder.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class QAudioSink;
class QEventLoop;
class QIODevice;

namespace VoiceBocxLib
{

/// The workstation's sound card as the voice board's wave device: plays
/// message files through the system's audio output.
///
/// The device is present exactly when the system lists an audio output
/// (QMediaDevices::audioOutputs()). The list is read on every call, but Qt
/// fixes its audio back end the first time it is touched: an audio server that
/// starts later is not seen by a running program.
///
/// play() blocks with a nested event loop running, so a click that calls
/// stop() is handled while the message plays. Everything runs on the thread
/// that owns the player (the user-interface thread).
class SoundCardPlayer : public QObject
{
    Q_OBJECT
public:
    /// How the last play() ended.
    enum class Ending {
        None,    ///< nothing played yet
        End,     ///< the audio was played to its end
        Stopped, ///< stop() cut it short
    };
    Q_ENUM(Ending)

    /// Silence put before the message so that the device's start-up never
    /// swallows its first syllable.
    static constexpr int kLeadInMs = 40;
    /// Audio queued ahead in the device. stop() discards the queue, so this
    /// only decides how long the user-interface thread may be busy elsewhere
    /// before the sound breaks up.
    static constexpr int kQueueMs = 250;

    explicit SoundCardPlayer(QObject *parent = nullptr);
    ~SoundCardPlayer() override;

    /// How many audio outputs the system lists.
    int deviceCount() const;
    /// True when the system lists at least one audio output.
    bool isPresent() const;
    /// The channel of the system's default output (its index among the
    /// outputs), or -1 when there is none.
    int findChannel() const;
    /// Chooses the output that later plays use: a channel as findChannel()
    /// gives; -1 or a channel that no longer exists means the default output.
    void setChannel(int channel) { m_channel = channel; }
    int channel() const { return m_channel; }

    /// Sample rate message files are decoded at (voxRateSetting()); 8000 until set.
    void setVoxRate(int rate) { m_voxRate = rate; }
    int voxRate() const { return m_voxRate; }

    /// Decodes the message file `path` and plays it from `skipSeconds` on;
    /// returns when it has been played to its end or stop() was called.
    /// Throws modVNQRN::Error when the file cannot be read (nothing is then
    /// played), when there is no output device or it fails to open, or when
    /// a play is already running.
    void play(const QString &path, qint32 skipSeconds = 0);
    /// play() for audio already decoded.
    void playAudio(const PcmAudio &audio, qint32 skipSeconds = 0);

    /// Ends a running play() at once: the sound stops and play() returns.
    /// Does nothing when nothing plays.
    void stop();

    bool isPlaying() const { return m_loop != nullptr; }
    Ending lastEnding() const { return m_ending; }

    /// What the last play actually played, skipped seconds not counted. Whole
    /// seconds, rounded down, so that a play resumed from it repeats a
    /// fraction rather than losing one.
    qint32 elapsedSeconds() const { return qint32(m_elapsedMs / 1000); }
    qint64 elapsedMs() const { return m_elapsedMs; }

Q_SIGNALS:
    /// The first audio of a play has been handed to the device.
    void playbackStarted();
    /// A play has ended (to its end or by stop()), just before play() returns.
    void playbackFinished();

private:
    void feed();
    qint64 playedBytes() const;
    void finish(Ending ending);

    int m_channel = -1;
    int m_voxRate = kVoxRate8k;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_output = nullptr;
    QEventLoop *m_loop = nullptr;
    QTimer m_feedTimer;
    QElapsedTimer m_started;
    QByteArray m_pcm;
    qint64 m_written = 0;
    qint64 m_audioStart = 0; // byte offset of the first message sample in m_pcm
    qint64 m_audioEnd = 0;   // byte offset just past the last message sample
    qint64 m_skipMs = 0;
    int m_bytesPerSecond = 0;
    Ending m_ending = Ending::None;
    qint64 m_elapsedMs = 0;
    QString m_failure;
};

} // namespace VoiceBocxLib

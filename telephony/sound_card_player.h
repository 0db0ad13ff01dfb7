#pragma once

#include "telephony/vox_playback_device.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

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
/// A message is decoded as it plays (VoxPlaybackDevice): memory does not grow
/// with its length and the sound starts as soon for a long message as for a
/// short one. The sound fades in at the start and out at the end and at a
/// stop() (VoxPlaybackDevice::kFadeMs), so it never clicks.
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
    /// Audio queued ahead in the device. What is queued is always played, so
    /// the sound goes on this long after a stop() before its fade; it is also
    /// how long the user-interface thread may be busy elsewhere before the
    /// sound breaks up.
    static constexpr int kQueueMs = 200;

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

    /// Plays the message file `path` from `skipSeconds` on; returns when it
    /// has been played to its end or stop() was called. Throws
    /// modVNQRN::Error: the errors of VoxFileStream::open() before any sound
    /// (53 missing, 75 or 70 unreadable, 7 too large); 440 "No sound card is
    /// installed" when the system lists no output; 440 when the output cannot
    /// be opened or stops taking audio; 75 when the file cannot be read any
    /// more while it plays; 5 when a play is already running.
    void play(const QString &path, qint32 skipSeconds = 0);

    /// Ends a running play(): the sound fades out within kQueueMs plus
    /// VoxPlaybackDevice::kFadeMs, play() returns at once, and the position
    /// (elapsedMs()) is final when stop() returns. Does nothing when nothing
    /// plays.
    void stop();

    bool isPlaying() const { return m_loop != nullptr; }
    Ending lastEnding() const { return m_ending; }

    /// What the last play actually played (while it plays: so far), skipped
    /// seconds not counted. Whole seconds, rounded down, so that a play
    /// resumed from it repeats a fraction rather than losing one.
    qint32 elapsedSeconds() const { return qint32(elapsedMs() / 1000); }
    qint64 elapsedMs() const;

Q_SIGNALS:
    /// The first audio of a play has been handed to the device.
    void playbackStarted();
    /// A play has ended (to its end or by stop()), just before play() returns.
    void playbackFinished();

private:
    struct Draining;

    void feed();
    qint64 playedBytes() const;
    void finish(Ending ending);
    void drain();
    void retire(std::unique_ptr<QAudioSink> sink);

    int m_channel = -1;
    int m_voxRate = kVoxRate8k;
    VoxPlaybackDevice m_source;
    QByteArray m_pending; // read from the message, not yet taken by the sink
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_output = nullptr;
    QEventLoop *m_loop = nullptr;
    QTimer m_feedTimer;
    QElapsedTimer m_progressClock; // since the played position last moved
    qint64 m_lastPlayed = -1;
    qint64 m_written = 0;
    int m_bytesPerSecond = 0;
    Ending m_ending = Ending::None;
    qint64 m_elapsedMs = 0;
    QString m_failure;
    qint32 m_failureNumber = 0;
    // Sinks of ended plays that still sound out their fade.
    std::vector<std::unique_ptr<Draining>> m_draining;
    QTimer m_drainTimer;
};

} // namespace VoiceBocxLib

#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace VNOrvak
{

class MessageControl;

/// What the console shows of a playback.
struct ConsolePlaybackState {
    enum class Phase { Idle, Playing, Paused };
    Phase phase = Phase::Idle;
    QString entity;           ///< the entity whose messages play ("" when none)
    QString message;          ///< the 12-character name being played ("" when idle)
    int position = 0;         ///< n of m within the entity's messages (0 when idle)
    int count = 0;            ///< m
    QDateTime callDate;       ///< the message file's date
    double lengthSeconds = 0; ///< from the file size
    double playedSeconds = 0; ///< so far

    /// Equal in every field but playedSeconds.
    bool sameAs(const ConsolePlaybackState &other) const;
};

/// The console's view of the control's playback: the phase, the message and
/// how far it has played. It follows what the control shows (the play
/// buttons' captions and the control's store), so it also sees playbacks the
/// operator started with the mouse. Checked every 100 ms while the event loop
/// runs, which it does during a playback too.
class PlaybackWatch : public QObject
{
    Q_OBJECT

public:
    explicit PlaybackWatch(MessageControl &control, QObject *parent = nullptr);

    const ConsolePlaybackState &state() const { return m_state; }
    bool active() const { return m_state.phase != ConsolePlaybackState::Phase::Idle; }
    /// Ends a running or paused playback as Stop does. False when nothing
    /// was playing.
    bool stop();
    /// Stops a running or paused playback, then runs `next` once the
    /// playback has returned (at once when nothing plays). A playback runs
    /// inside its own event loop: what comes during it (a key, a pick) runs
    /// inside the playback, and calling the control from there would wait
    /// for a line that cannot get idle before it returns.
    void stopThen(std::function<void()> next);
    /// Whether a stopThen() is waiting for the playback to return.
    bool stopping() const { return !m_pending.empty(); }
    /// Reads the control again now (the timer does it every 100 ms).
    void refresh();

Q_SIGNALS:
    /// Any field but playedSeconds changed.
    void stateChanged(const VNOrvak::ConsolePlaybackState &state);
    /// About once a second while playing.
    void elapsed(double playedSeconds);

private:
    ConsolePlaybackState read() const;

    MessageControl &m_control;
    ConsolePlaybackState m_state;
    QTimer m_timer;
    qint64 m_runningSinceMs = -1; // monotonic; -1 while not playing
    double m_playedBefore = 0;    // seconds played of this message before the last resume
    int m_lastWholeSecond = -1;
    int m_startLevel = -1; // the event-loop level the playback was started from
    std::vector<std::function<void()>> m_pending;
    int m_pendingLevel = 0;
    qint64 m_pendingSinceMs = 0;
    QTimer m_unwind;
};

} // namespace VNOrvak

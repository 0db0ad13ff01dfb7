#pragma once

#include "control/playback_state.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace VNOrvak
{

class MessageControl;
class MessagePlayback;

/// The console's view of the control's playback (MessageControl::playback()),
/// with what the console adds: stopping a playback and then doing something
/// once it has returned.
class PlaybackWatch : public QObject
{
    Q_OBJECT

public:
    explicit PlaybackWatch(MessageControl &control, QObject *parent = nullptr);

    const PlaybackState &state() const { return m_state; }
    bool active() const { return m_state.phase != PlaybackState::Phase::Idle; }
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
    /// Reads the playback's state again now (its signals keep it current).
    void refresh();

Q_SIGNALS:
    /// Any field but playedSeconds changed.
    void stateChanged(const VNOrvak::PlaybackState &state);
    /// About once a second while playing.
    void elapsed(double playedSeconds);

private:
    MessageControl &m_control;
    MessagePlayback &m_playback;
    PlaybackState m_state;
    int m_startLevel = -1; // the event-loop level the playback was started from
    std::vector<std::function<void()>> m_pending;
    int m_pendingLevel = 0;
    qint64 m_pendingSinceMs = 0;
    QTimer m_unwind;
};

} // namespace VNOrvak

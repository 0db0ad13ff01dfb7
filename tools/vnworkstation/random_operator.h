#pragma once

#include "control/message_control_core.h"
#include "control/playback_state.h"

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

namespace VNOrvak
{
class MessageControl;
}
class EventLog;

/// An operator at an unattended workstation: after a random pause it picks
/// what a person would do next and does it on the control, mostly through
/// its buttons (a disabled button does nothing, as for a person), sometimes
/// through the host's Click methods. While a playback runs it may press
/// Pause or Stop; while paused, Resume. Like a typical host it selects the
/// current entity again on some MsgUpdated events. Every action and every
/// event of the control goes to the event log.
class RandomOperator : public QObject
{
    Q_OBJECT

public:
    struct Settings {
        quint32 seed = 1;
        int thinkMs = 150;            ///< mean pause between two actions
        double refreshOnUpdate = 0.5; ///< chance that MsgUpdated reselects the entity
    };

    RandomOperator(VNOrvak::MessageControl &control, EventLog &log, const Settings &settings);

    /// Starts acting.
    void start();
    /// Starts no more actions, stops a running playback, and emits finished()
    /// (once) when no action is running any more.
    void finish();
    /// How many actions are running (a Pause runs inside the Play it pauses).
    int running() const { return m_depth; }
    int actions() const { return m_actions; }
    /// Presses the button named `button` as the operator would (a disabled
    /// one does nothing) and logs it as the action `what`.
    void press(const char *button, const QString &what);

Q_SIGNALS:
    void finished();

private:
    enum class Via { Button, Host };
    void act();
    void actDuringPlayback();
    void actIdle();
    /// Runs one operator action and logs its start and end.
    template <typename Action> void perform(const QString &what, Via via, Action &&action);
    void selectRandomEntity();
    VNOrvak::PlaybackState::Phase phase() const;
    bool chance(double p) { return m_random.generateDouble() < p; }
    void scheduleNext();
    void connectEvents();

    VNOrvak::MessageControl &m_control;
    EventLog &m_log;
    Settings m_settings;
    QRandomGenerator m_random;
    QTimer m_next;
    int m_depth = 0;
    int m_actions = 0;
    bool m_finishing = false;
    bool m_done = false; ///< finished() was emitted
};

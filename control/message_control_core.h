#pragma once

#include "display_renderer.h"
#include "message_store.h"

#include <QObject>
#include <QTimer>

namespace VNOrvak
{

/// The windowless heart of the message control: the message store, the
/// polling timer tmrCalls and the choice of the display state. The widget
/// composes it; command-line tools and tests use it alone. Signals are
/// delivered synchronously: a handler runs before the raising call goes on.
class MessageControlCore : public QObject
{
    Q_OBJECT

public:
    /// The timer's interval until the settings give another.
    static constexpr int kDesignInterval = 30;

    explicit MessageControlCore(QObject *parent = nullptr);
    ~MessageControlCore() override;

    MessageStore &store() { return m_store; }
    const MessageStore &store() const { return m_store; }

    /// Sets the renderer of the display states (not owned; nullptr for none).
    void setRenderer(DisplayRenderer *renderer) { m_renderer = renderer; }

    /// Switches the polling timer on or off. The timer never fires while its
    /// interval is 0.
    void setTimerEnabled(bool enabled);
    bool timerEnabled() const { return m_timerEnabled; }
    /// The poll interval in milliseconds.
    void setTimerInterval(int ms);
    int timerInterval() const { return m_timer.interval(); }
    /// Whether ticks are actually due (enabled with an interval above 0).
    bool timerRunning() const { return m_timer.isActive(); }

    /// One poll: rebuilds the list and the counts from the messages folder;
    /// when the list changed, renders the display state and raises
    /// MsgUpdated. Errors are reported through ReportError and the tick goes
    /// on; it always ends with the timer enabled.
    void tmrCalls_Timer();
    /// Empties the list and the counts of the folder and the entity's count.
    void ResetMessageState();
    /// ResetMessageState(), then a tick at once: MsgUpdated follows whenever
    /// the folder holds a message.
    void RescanMessages();
    /// Renders the state that fits the counts of the whole folder:
    /// dsNoMessages, dsNewMessages or dsNoNewMessages.
    void UpdateDisplayState();
    /// Just before playing `sName`: the name to play, its heard name when
    /// another workstation heard it meanwhile (FinishedPlayingNewMsg is
    /// raised), or "" when the message is gone (the operator is told, the
    /// control rescans, reselects the entity and raises MsgUpdated).
    QString ResolveMessageFile(QString sName);
    /// Selects the entity `msgID` (kept as nine digits), raises IDChanged
    /// with `msgID` as given and renders the display state.
    void InitializeForID(const QString &msgID, const QString &MsgCode = QString());

    /// Brings the window into `state` through the renderer.
    void ShowState(int state, const QString &text);
    /// The last state chosen, 0 before any.
    int lastState() const { return m_lastState; }

    /// An id as nine digits: a whole number padded with zeros on the left
    /// (fractions rounded, a sign kept); "" stays ""; other text as it is.
    static QString FormatEntityID(const QString &msgID);

Q_SIGNALS:
    /// The message list has changed.
    void MsgUpdated();
    /// A new message has been heard.
    void FinishedPlayingNewMsg();
    /// An entity was selected: `id` as the host gave it, whether it has a
    /// new message (a value written back is ignored), and the host's code.
    void IDChanged(const QString &id, bool &HasNewMessages, const QString &code);

private:
    void applyTimer();

    MessageStore m_store;
    QTimer m_timer;
    bool m_timerEnabled = true;
    DisplayRenderer *m_renderer = nullptr;
    int m_lastState = 0;
};

} // namespace VNOrvak

#pragma once

#include "display_renderer.h"
#include "message_file_system.h"
#include "message_listing.h"
#include "message_store.h"

#include "telephony/clsPhoneHelp.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <memory>

namespace VNOrvak
{

/// What became of a new message when this workstation marked it heard.
enum class HeardOutcome {
    Renamed,         ///< its file took the heard name
    HeardElsewhere,  ///< another workstation had renamed it ("played on another workstation")
    Purged,          ///< the file was gone ("removed by the purge process")
    HeardBeforePlay, ///< found under its heard name just before playing it
    Failed,          ///< the rename failed and was reported
    AlreadyHeard,    ///< the name played was a heard name: nothing to do
    NewerCopyKept,   ///< a newer message took its new name while it played: that one stays new
    HeardNameTaken,  ///< another message holds its heard name: it stays new, the operator is told
    InUse,           ///< held open by another workstation playing it: it stays new for now
};

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

    /// The telephony helper, created by the first rescan; null before it and
    /// after releasePhoneHelp().
    clsPhoneHelp *phoneHelp() const { return mPhoneHelp.get(); }
    void releasePhoneHelp() { mPhoneHelp.reset(); }
    /// Whether messages play over the sound card (else the telephone line):
    /// chooses the device whose absence shows dsNoDevice.
    void setUseSoundCard(bool useSoundCard) { mbUseSoundCard = useSoundCard; }
    bool useSoundCard() const { return mbUseSoundCard; }
    /// A playback route (telephone call or sound card) is open.
    bool mbConnected = false;

    /// The telephone call of the message line has ended: the next playback
    /// connects again, and the display shows the state that fits the counts.
    void mPhoneHelp_CallerHangup();

    /// The listing of the messages folder that every poll reads through. It
    /// remembers the previous poll, so an unchanged folder costs one reading
    /// of the folder and one status per message file.
    MessageFolderReader &folderReader() { return m_folderReader; }

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
    /// Creates the telephony helper when there is none (it reads the
    /// telephony settings and detects the devices), then empties the list and
    /// the counts of the folder and the entity's count.
    void ResetMessageState();
    /// ResetMessageState(), then a tick at once: MsgUpdated follows whenever
    /// the folder holds a message.
    void RescanMessages();
    /// Renders the state that fits the device and the counts of the whole
    /// folder: dsNoDevice when the chosen device is missing, else
    /// dsNoMessages, dsNewMessages or dsNoNewMessages.
    void UpdateDisplayState();
    /// Just before playing `sName`: the name to play, its heard name when
    /// another workstation heard it meanwhile (FinishedPlayingNewMsg is
    /// raised), or "" when the message is gone (the operator is told, the
    /// control rescans, reselects the entity and raises MsgUpdated).
    QString ResolveMessageFile(QString sName);
    /// After this workstation has played the new message `sName`: renames
    /// its file in the shared folder to the heard name and puts the heard
    /// name in the lists at once. Tells the operator when another workstation
    /// heard it first or the purge removed it; any other failure is reported
    /// and the lists are left to the next poll. Heard names ("M...") are left
    /// alone. Never replaces or deletes another file: a heard name held by
    /// another message leaves this one new (the operator is told).
    void MarkHeard(const QString &sName);
    /// MarkHeard() of the file described by `played` (taken when its play
    /// began): a newer message that has since taken the name stays new.
    void MarkHeard(const QString &sName, const FileFacts &played);
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

    /// How long a message may stay parked by a mark in progress before a
    /// poll puts it in its place.
    static constexpr int kParkedGraceSecs = 60;
    /// Whether the last poll could not list the messages folder.
    bool folderOutage() const { return m_folderOutage; }
    /// Whether a poll is running (its box or its MsgUpdated may be on the
    /// stack): the owner must not delete the core before it has returned.
    bool busy() const { return m_pollDepth > 0; }

Q_SIGNALS:
    /// The message list has changed.
    void MsgUpdated();
    /// A new message has been heard.
    void FinishedPlayingNewMsg();
    /// An entity was selected: `id` as the host gave it, whether it has a
    /// new message (a value written back is ignored), and the host's code.
    void IDChanged(const QString &id, bool &HasNewMessages, const QString &code);
    /// After MarkHeard() or ResolveMessageFile() dealt with the new message
    /// `name`: what became of it. For logs and diagnostics; hosts need not
    /// connect.
    void MarkedHeard(const QString &name, VNOrvak::HeardOutcome outcome);

private:
    void applyTimer();
    bool listFolder(MessageListing &listing);
    void settleParkedMessages(const MessageListing &listing);

    MessageStore m_store;
    MessageFolderReader m_folderReader;
    QTimer m_timer;
    bool m_timerEnabled = true;
    DisplayRenderer *m_renderer = nullptr;
    int m_lastState = 0;
    std::unique_ptr<clsPhoneHelp> mPhoneHelp;
    bool mbUseSoundCard = false;
    bool m_folderOutage = false;
    int m_pollDepth = 0;
    QHash<QString, qint64> m_parkedSince; // parked names seen, since when (monotonic ms)
};

} // namespace VNOrvak

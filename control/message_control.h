#pragma once

#include "message_control_core.h"
#include "message_playback.h"

#include <QDateTime>
#include <QWidget>

#include <memory>

namespace VNOrvak
{

/// The voice-message review control that a host places on its window.
///
/// A host names its program once with InitializeForProgram(), then the
/// entity to show with InitializeForID() (again whenever the operator moves
/// to another entity), reads the counts through the properties, and handles
/// the events. Before leaving it calls Terminate(). Events are delivered
/// synchronously: the host's slot runs before the raising call goes on, so
/// connect with direct (or automatic, same-thread) connections.
///
/// Failures of the calls reach the host as a thrown modVNQRN::Error (see
/// docs/errors.md); failures inside the polling are shown to the operator
/// and written to the error log instead.
///
/// The window is a view: the playback itself (the play procedures, the
/// buttons' handlers, the route) is the windowless MessagePlayback behind it
/// (playback()), whose state() tells what is playing.
///
/// Deleting the control is safe at any moment, also from inside one of its
/// events and during a playback: the playback ends and the call is hung up.
///
/// COM identity (for an ActiveX wrapper of this control):
///   type library VNOrvak               {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A01}
///   class MessageControl               {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A02}
///   default interface _MessageControl  {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A03}
///   event interface __MessageControl   {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A04}
///   earlier identities of _MessageControl (aliases):
///                                      {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A05}
///                                      {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A06}
///                                      {6B1E0D4A-3C59-4F7E-9A21-5D0C8E7B1A07}
/// The dispatch id of each member is given beside it.
class MessageControl : public QWidget
{
    Q_OBJECT
    /// 0x68030025: the latest modification time of any message file seen
    /// (1899-12-30 00:00 until one is seen); never goes back.
    Q_PROPERTY(QDateTime LastMsgDate READ LastMsgDate)
    /// 0x68030024: every message of the folder, 12-character names joined by ",".
    Q_PROPERTY(QString Messages READ Messages)
    /// 0x68030023: the number of messages in the folder.
    Q_PROPERTY(qint32 MsgCnt READ MsgCnt)
    /// 0x68030022: the messages of the folder whose file was written today.
    Q_PROPERTY(qint32 MsgTodayCnt READ MsgTodayCnt)
    /// 0x68030021: the new (unheard) messages of the folder.
    Q_PROPERTY(qint32 NewMsgCnt READ NewMsgCnt)
    /// 0x68030028: switches the polling of the messages folder off and on.
    /// Reads false until the host sets it; the polling runs all the same.
    /// Not designable: a form cannot set it (its setter is not setEnabled).
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled DESIGNABLE false STORED false)

public:
    explicit MessageControl(QWidget *parent = nullptr);
    ~MessageControl() override;

    /// 0x60030000: selects the entity whose messages are shown (an id of up
    /// to nine digits; "" for none) and raises IDChanged with `msgID` as given.
    Q_INVOKABLE void InitializeForID(const QString &msgID, const QString &MsgCode = QString());
    /// 0x60030001: starts the control for the host program: finds the
    /// installation, reads the settings, scans the messages folder, raises
    /// MsgUpdated and then IDChanged with no entity. Throws modVNQRN::Error
    /// 6 "Overflow" when "MsgTimer" is too large.
    Q_INVOKABLE void InitializeForProgram(const QString &ProgramName);
    /// 0x60030002: gives the message line free and releases the telephony
    /// helper; the polling goes on. Does nothing when already terminated.
    Q_INVOKABLE void Terminate();

    /// 0x60030003: presses New Msg: selects the entity with the lowest id
    /// that has a new message and plays that message.
    Q_INVOKABLE void ClickNewMsgButton();
    /// 0x60030004: presses Previous: selects the entity before the current
    /// one in id order (wrapping around to the last) and plays its messages.
    Q_INVOKABLE void ClickPrevMsgButton();
    /// 0x60030005: runs the same handler as ClickPrevMsgButton (kept so for
    /// hosts written against it); Next runs only on a click of its button.
    Q_INVOKABLE void ClickNextMsgButton();
    /// 0x60030026: presses Play, Pause or Resume, whichever the button shows.
    Q_INVOKABLE void ClickPlayAllMsgButton();
    /// 0x60030027: presses Play Last or Stop, whichever the button shows.
    /// Unlike the others, a failure is thrown to the host.
    Q_INVOKABLE void ClickPlayLastMsgButton();

    /// 0x60030020: removes and returns the last item of a delimited list
    /// ("," when `sDelim` is empty); `sList` keeps the rest.
    QString GetRightItem(QString &sList, const QString &sDelim = QString());

    QDateTime LastMsgDate() const;
    QString Messages() const;
    qint32 MsgCnt() const;
    qint32 MsgTodayCnt() const;
    qint32 NewMsgCnt() const;
    bool Enabled() const;
    void SetEnabled(bool b);

    /// The windowless logic (message store, polling, events) behind the window.
    MessageControlCore &core();
    /// The playback behind the window: its state, its signals, stop().
    MessagePlayback &playback();

Q_SIGNALS:
    /// Dispatch id 1: declared for hosts written against it; never raised.
    void NewMsgReceived(const QString &msgs, qint32 &NewMsgCnt, qint32 &TotalMsgCnt,
                        qint32 &CallTodayCnt, QDateTime &LastCallDate);
    /// Dispatch id 2: at the end of every InitializeForID. `id` is the id as
    /// the caller passed it; what the handler writes to HasNewMessages is ignored.
    void IDChanged(const QString &id, bool &HasNewMessages, const QString &code);
    /// Dispatch id 3: a new message has been heard.
    void FinishedPlayingNewMsg();
    /// Dispatch id 4: the message list has changed.
    void MsgUpdated();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace VNOrvak

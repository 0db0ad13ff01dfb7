#pragma once

#include "playback_state.h"

#include <QObject>

#include <memory>

namespace VNOrvak
{

class DisplayRenderer;
class MessageControlCore;
class PlaybackEngine;

/// The playback of the message control, without a window: it owns the
/// windowless core (message store, polling), plays the current entity's
/// messages on the route the settings choose (the operator's telephone or
/// the sound card) and marks the new ones heard. MessageControl shows it
/// and forwards its buttons here; a tool or a host may drive one alone.
///
/// The calls that start a playback return when it ends; meanwhile the event
/// loop runs, and pause(), stop() and the host's other calls arrive. While a
/// playback runs, a call that would start another is ignored: only Pause and
/// Stop act then, as the buttons show.
///
/// Deleting it is safe at any moment, from inside its own signals and
/// during a playback too: the playback ends at once and the call is hung up.
class MessagePlayback : public QObject
{
    Q_OBJECT

public:
    /// What the Play button offers.
    enum class PlayAllButton { Play, Pause, Resume };
    /// What the Play Last button offers.
    enum class PlayLastButton { PlayLast, Stop };

    explicit MessagePlayback(QObject *parent = nullptr);
    ~MessagePlayback() override;

    /// The message store, the polling and the display state.
    MessageControlCore &core();
    const MessageControlCore &core() const;

    /// What is playing now.
    const PlaybackState &state() const;

    /// Starts for the program: finds the installation, reads the settings,
    /// scans the messages folder. Throws modVNQRN::Error 6 "Overflow" when
    /// "MsgTimer" is too large.
    void InitializeForProgram(const QString &ProgramName);
    /// Selects the entity `msgID` (an id of up to nine digits; "" for none)
    /// and raises IDChanged with `msgID` as given.
    void InitializeForID(const QString &msgID, const QString &MsgCode = QString());
    /// Ends a playback in progress, gives the message line free and releases
    /// the telephony helper; does nothing when already terminated.
    void Terminate();

    /// New Msg: selects the entity with the lowest id that has a new message
    /// and plays that message.
    void newMessage();
    /// Previous: the entity before the current one in id order (wrapping
    /// around), all its messages played.
    void previousEntity();
    /// Next: the entity after the current one, all its messages played.
    void nextEntity();
    /// Play, Pause or Resume, whichever playAllButton() offers.
    void playAll();
    /// Play Last or Stop, whichever playLastButton() offers. A failure is
    /// thrown to the caller.
    void playLast();
    /// Ends a running or paused playback as Stop does (a failure is
    /// reported); returns once it has ended. Does nothing when idle.
    void stop();

    PlayAllButton playAllButton() const;
    PlayLastButton playLastButton() const;

    /// Sets the view that renders the display states (not owned; nullptr
    /// for none).
    void setRenderer(DisplayRenderer *view);
    /// The interval of the elapsed() ticks in milliseconds (1000 by default).
    void setElapsedInterval(int ms);

Q_SIGNALS:
    /// Any field of the state but playedSeconds changed.
    void stateChanged(const VNOrvak::PlaybackState &state);
    /// About once a second while playing: the seconds of the message played.
    void elapsed(double playedSeconds);
    /// A new message has been heard (played whole here, or found heard by
    /// another workstation just before its play).
    void FinishedPlayingNewMsg();
    /// The core's events, raised through the playback (MessageControlCore).
    void MsgUpdated();
    void IDChanged(const QString &id, bool &HasNewMessages, const QString &code);

private:
    friend class PlaybackEngine;
    std::unique_ptr<PlaybackEngine> d;
};

} // namespace VNOrvak

#pragma once

#include "display_renderer.h"
#include "message_control_core.h"
#include "message_file_system.h"
#include "message_playback.h"
#include "playback_state.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace VNOrvak
{

/// The inside of MessagePlayback: the play procedures (play_engine.cpp), the
/// buttons' handlers (playback_buttons.cpp) and the route
/// (device_connection.cpp). It renders through the core and passes every
/// display state on to the view, keeping what the play buttons offer.
///
/// A host may delete the MessagePlayback (or the widget holding it) from any
/// event raised during one of its calls: the engine then outlives it until
/// the calls on the stack have returned (orphan()), and is deleted on the
/// event loop.
class PlaybackEngine final : public QObject, private DisplayRenderer
{
public:
    using PlayAllButton = MessagePlayback::PlayAllButton;
    using PlayLastButton = MessagePlayback::PlayLastButton;

    explicit PlaybackEngine(MessagePlayback &owner);
    ~PlaybackEngine() override;

    /// The owner is being deleted: ends the playback, hangs up, and deletes
    /// `self` now or, while calls of it still run, once they have returned.
    void orphan(std::unique_ptr<PlaybackEngine> self);

    MessagePlayback *m_owner; ///< null once orphaned
    int m_busy = 0;           ///< calls of the engine running
    bool m_orphaned = false;  ///< to be deleted once m_busy is back to 0
    bool m_ending = false;    ///< the owner has gone: nothing more is played or marked
    MessageControlCore m_core;
    DisplayRenderer *m_view = nullptr;
    QString msProgramName;
    QString msTempFile;
    bool mbRenameOnStop = false;
    int m_voxRate = 8000;

    // What the play buttons offer, as the display states left them.
    PlayAllButton m_playAll = PlayAllButton::Play;
    PlayLastButton m_playLast = PlayLastButton::PlayLast;

    // A Resume runs the play procedure that started the playback.
    bool mbPlayAllMode = false;    ///< Play, Previous or Next started it (else Play Last)
    bool mbPlayNewMode = false;    ///< New Msg started it
    bool mbStopRequested = false;  ///< Stop was pressed during the playback
    qint32 mlResumeSecs = 0;       ///< seconds of the paused message already played
    QString m_pausedName;          ///< the paused message ("" when none is paused)
    FileFacts m_pausedFile;        ///< its file as its play began
    int mPlayDepth = 0;            ///< play procedures running
    bool mbReleasePending = false; ///< Terminate came during a playback
    bool m_stopBeforePlay = false; ///< stop() came while the route was being opened

    PlaybackState m_state;
    PlaybackState m_current; ///< the message being played (or paused), while there is one
    qint32 m_currentSkip = 0;
    QTimer m_tick;

    void loadSettings();
    void terminate();
    void stop();
    void releaseTelephony();

    // The buttons (playback_buttons.cpp).
    void cmdNewMsg_Click();
    void cmdPrevMsg_Click();
    void cmdNextMsg_Click();
    void cmdPlayAll_Click();
    void cmdPlayLast_Click();
    void selectAndPlayAll(const QString &msgID);
    void playNeighbour(bool above);
    void startAfresh();
    void playAfresh(bool all);
    bool playbackRunning() const { return mPlayDepth > 0; }

    // The route (device_connection.cpp).
    bool ConnectDevice();
    bool PrepareConnection();
    clsPhoneHelp &phoneHelp();

    // The play procedures (play_engine.cpp).
    void PlayAllMsgs(qint32 &lSkipSecs);
    void PlayLastMsg(qint32 &lSkipSecs);
    void PlayNewMsg(qint32 &lSkipSecs);
    struct Played {
        bool paused = false;  ///< Pause was pressed during the play
        bool hungUp = false;  ///< the telephone hung up during the play
        bool skipped = false; ///< nothing was played (Terminate came first)
        QString failure;      ///< why the play failed; empty when it played
        FileFacts file;       ///< the message file as its play began
    };
    Played PlayOneMessage(const QString &name, qint32 &lSkipSecs);
    Played playMessage(QString &name, qint32 &lSkipSecs);
    void markPlayed(const QString &name, const FileFacts &file);
    bool playFailed(const QString &name, const Played &played);
    bool connectForPlaying();
    QString resolvedName(QString name);
    void finishPlayback();
    auto enterPlayback();

    // The observable state.
    void beginMessage(const QString &name, qint32 skipSecs);
    void publish();
    void tick();

    // DisplayRenderer, for the core: keeps the buttons' offer, then the view.
    void ShowState(int state, const QString &text) override;
    void ClearNotes() override;
    void ShowNotes(const QString &text) override;
};

} // namespace VNOrvak

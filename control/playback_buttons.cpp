#include "playback_engine.h"

#include "display_states.h"
#include "numeric_value.h"
#include "reported_step.h"

#include "shared/error.h"
#include "shared/list_items.h"
#include "shared/prompter.h"

#include <cmath>
#include <limits>

using modVNQRN::GetLeftItem;

namespace VNOrvak
{

namespace
{

const QString kComma = QStringLiteral(",");

// The entity id of a message name: its characters 3 to 11.
QString nameID(const QString &name)
{
    return name.mid(2, 9);
}

// Seconds as the helper reports them, rounded to a whole number (halves to
// the even neighbour).
qint32 wholeSeconds(const QString &secs)
{
    const double value = std::nearbyint(NumericValue(secs));
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        throw modVNQRN::Error(modVNQRN::errOverflow);
    return static_cast<qint32>(value);
}

} // namespace

// A playback started afresh forgets what an earlier Stop or Pause left behind.
void PlaybackEngine::startAfresh()
{
    mbStopRequested = false;
    mlResumeSecs = 0;
    m_pausedName.clear();
}

// Play and Play Last started afresh: all of the entity's messages, or its
// last one.
void PlaybackEngine::playAfresh(bool all)
{
    startAfresh();
    mbPlayAllMode = all;
    mbPlayNewMode = false;
    qint32 skip = 0;
    if (all)
        PlayAllMsgs(skip);
    else
        PlayLastMsg(skip);
}

// While a playback runs its buttons offer Pause and Stop alone (New Msg,
// Previous and Next are hidden): a call that would start another playback
// inside it is ignored.
void PlaybackEngine::cmdNewMsg_Click()
{
    if (playbackRunning())
        return;
    m_core.setTimerEnabled(false);
    // Only status letters count: an "N" elsewhere in a name is not a new message.
    QString id;
    runReported([&] {
        QString copy = m_core.store().msMsgList;
        while (!copy.isEmpty()) {
            const QString name = GetLeftItem(copy, kComma);
            if (name.left(1).toUpper() == u"N") {
                id = nameID(name);
                break;
            }
        }
    });
    if (id.isNull()) {
        runReported([] {
            modVNQRN::MsgBox(QStringLiteral("New Message listened to on another workstation"));
        });
        runReported([&] { m_core.UpdateDisplayState(); });
    } else {
        runReported([&] { m_core.InitializeForID(id); });
        startAfresh();
        mbPlayNewMode = true;
        runReported([&] {
            qint32 skip = 0;
            PlayNewMsg(skip);
        });
    }
    m_core.setTimerEnabled(true);
}

void PlaybackEngine::selectAndPlayAll(const QString &msgID)
{
    runReported([&] { m_core.InitializeForID(msgID); });
    runReported([&] { playAfresh(true); });
}

// Next and Previous: the entity above (below) the current one plays, or,
// with none there, the lowest (highest) of the list.
void PlaybackEngine::playNeighbour(bool above)
{
    if (playbackRunning())
        return;
    m_core.setTimerEnabled(false);
    QString id;
    runReported([&] {
        const double current = NumericValue(m_core.store().msEntityID);
        QString list = m_core.store().msMsgList;
        if (!above && list.endsWith(u','))
            list.chop(1);
        const auto take = [&](QString &from) {
            return nameID(above ? GetLeftItem(from, kComma)
                                : MessageStore::GetRightItem(from, kComma));
        };
        bool found = false;
        QString copy = list;
        while (!copy.isEmpty() && !found) {
            id = take(copy);
            found = above ? NumericValue(id) > current : NumericValue(id) < current;
        }
        if (!found) {
            copy = list;
            id = take(copy);
        }
    });
    selectAndPlayAll(id);
    m_core.setTimerEnabled(true);
}

void PlaybackEngine::cmdNextMsg_Click()
{
    playNeighbour(true);
}

void PlaybackEngine::cmdPrevMsg_Click()
{
    playNeighbour(false);
}

void PlaybackEngine::cmdPlayAll_Click()
{
    const PlayAllButton offered = m_playAll;
    if (offered != PlayAllButton::Pause && playbackRunning())
        return;
    m_core.setTimerEnabled(false);
    if (offered == PlayAllButton::Pause) {
        // The offer changes before the playback stops, so that the play
        // procedure sees the pause when its play call returns.
        runReported([&] { m_core.ShowState(dsPaused, QString()); });
        QString secs;
        runReported([&] { secs = phoneHelp().PauseMsg(); });
        runReported([&] { mlResumeSecs += wholeSeconds(secs); });
        m_state.playedSeconds = mlResumeSecs;
    } else if (offered == PlayAllButton::Resume) {
        // The field itself is the skip value: the play procedure clears it
        // once the resumed message has been played.
        runReported([&] {
            if (mbPlayNewMode)
                PlayNewMsg(mlResumeSecs);
            else if (mbPlayAllMode)
                PlayAllMsgs(mlResumeSecs);
            else
                PlayLastMsg(mlResumeSecs);
        });
    } else {
        runReported([&] { playAfresh(true); });
    }
    m_core.setTimerEnabled(true);
}

// No trap here: a failure reaches the caller and leaves the timer off.
void PlaybackEngine::cmdPlayLast_Click()
{
    const PlayLastButton offered = m_playLast;
    if (offered != PlayLastButton::Stop && playbackRunning())
        return;
    m_core.setTimerEnabled(false);
    if (offered == PlayLastButton::Stop) {
        phoneHelp().StopMsg();
        mbStopRequested = true;
        m_core.store().msPlayQueue.clear();
        // A paused message is given up: a later Pause starts counting afresh.
        mlResumeSecs = 0;
        m_pausedName.clear();
        // The playback has ended for whoever watches, though its procedure
        // is still leaving.
        m_current = PlaybackState();
        m_core.UpdateDisplayState();
    } else {
        playAfresh(false);
    }
    m_core.setTimerEnabled(true);
}

} // namespace VNOrvak

namespace VNOrvak
{

void PlaybackEngine::stop()
{
    if (m_playLast == PlayLastButton::Stop) {
        runReported([&] { cmdPlayLast_Click(); });
    } else if (playbackRunning()) {
        // The route is still being opened: nothing is played once it is.
        m_stopBeforePlay = true;
        m_core.store().msPlayQueue.clear();
        m_current = PlaybackState();
        publish();
    }
}

} // namespace VNOrvak

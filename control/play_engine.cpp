#include "playback_engine.h"

#include "display_states.h"
#include "reported_step.h"

#include "shared/error_log.h"
#include "shared/list_items.h"
#include "shared/prompter.h"

#include <QScopeGuard>
#include <cerrno>

using modVNQRN::GetLeftItem;

namespace VNOrvak
{

namespace
{

// Keys of the telephone that end a message and go on with the next.
constexpr auto kStopTones = u"0123456789#ABCD";
constexpr qint32 kFileFormat = 1;
constexpr qint32 kEndBeeps = 3;

bool isNewName(const QString &name)
{
    return name.left(1).toUpper() == u"N";
}

} // namespace

// Counts the running play procedures, so that a Terminate that arrives
// during a playback releases the helper only once the outermost has left.
auto PlaybackEngine::enterPlayback()
{
    ++mPlayDepth;
    return qScopeGuard([this] {
        if (--mPlayDepth > 0)
            return;
        m_stopBeforePlay = false;
        if (mbReleasePending)
            runReported([this] { releaseTelephony(); });
        publish();
    });
}

// A failure to connect is reported and the procedure goes on, as after any step.
bool PlaybackEngine::connectForPlaying()
{
    bool connected = true;
    runReported([&] { connected = PrepareConnection(); });
    return connected;
}

// The name to play now ("" when the message is gone); a failure keeps `name`.
QString PlaybackEngine::resolvedName(QString name)
{
    runReported([&] { name = m_core.ResolveMessageFile(name); });
    return name;
}

PlaybackEngine::Played PlaybackEngine::PlayOneMessage(const QString &name, qint32 &lSkipSecs)
{
    beginMessage(name, lSkipSecs);
    runReported([&] { m_core.ShowState(dsPlaying, name); });
    const QString destFile = msTempFile;
    const QString sourceFile = m_core.store().msMsgDir + name + u".vox";
    const bool wasConnected = m_core.mbConnected;
    Played played;
    // What is marked heard afterwards must be this very file, not a newer
    // message that takes its name meanwhile.
    messageFileSystem().stat(sourceFile, played.file);
    // A resumed message is the file whose play began before the pause: a
    // newer message that took its name meanwhile has not been heard whole.
    if (!m_pausedName.isEmpty()) {
        if (m_pausedName == name)
            played.file = m_pausedFile;
        m_pausedName.clear();
    }
    // A Terminate while the call was being made: nothing more is played.
    if (mbReleasePending || m_ending) {
        played.skipped = true;
    } else {
        const bool called = runReported([&] {
            if (m_core.useSoundCard())
                phoneHelp().PlayWithSoundCard(destFile, sourceFile, lSkipSecs, kFileFormat);
            else
                phoneHelp().PlayWithVoiceBoard(destFile, sourceFile, QString::fromUtf16(kStopTones),
                                               lSkipSecs, kFileFormat);
            played.failure = phoneHelp().PlayFailure();
        });
        // The failure of the call itself has been reported already.
        played.skipped = !called;
    }
    // Pause and Stop clicks ran inside the play call; they leave their mark
    // on what the Play button offers and on mbStopRequested.
    played.paused = m_playAll == PlayAllButton::Resume;
    if (played.paused) {
        m_pausedName = name;
        m_pausedFile = played.file;
    }
    played.hungUp = wasConnected && !m_core.mbConnected;
    return played;
}

// A message that vanished between the look before its play and the play
// itself (another workstation marked it heard, or the purge removed it) is
// looked up once more: its heard twin plays, or the operator hears that it
// is gone. Only a play that failed with the file still there is a failure.
PlaybackEngine::Played PlaybackEngine::playMessage(QString &name, qint32 &lSkipSecs)
{
    const Played played = PlayOneMessage(name, lSkipSecs);
    const QString sourceFile = m_core.store().msMsgDir + name + u".vox";
    if (played.failure.isEmpty() || messageFileSystem().lookUp(sourceFile) != ENOENT)
        return played;
    const QString again = resolvedName(name);
    if (again.isEmpty()) {
        Played gone;
        gone.skipped = true;
        return gone;
    }
    name = again;
    return PlayOneMessage(name, lSkipSecs);
}

// A new message just heard: it takes its heard name and the host is told.
void PlaybackEngine::markPlayed(const QString &name, const FileFacts &file)
{
    runReported([&] { m_core.MarkHeard(name, file); });
    runReported([&] {
        if (m_owner)
            Q_EMIT m_owner->FinishedPlayingNewMsg();
    });
}

// A message that did not play stays as it was: nobody heard it. The operator
// learns which one and why, and the playback ends there (with a broken
// sound card the next message would fail the same way).
bool PlaybackEngine::playFailed(const QString &name, const Played &played)
{
    if (played.skipped) {
        m_core.store().msPlayQueue.clear();
        return true;
    }
    if (played.failure.isEmpty())
        return false;
    m_core.store().msPlayQueue.clear();
    QString text = u"Message " + name + u" could not be played: " + played.failure;
    if (!text.endsWith(u'.'))
        text += u'.';
    if (isNewName(name))
        text += u"\r\nIt stays new.";
    runReported([&] {
        modVNQRN::WriteLog(u"Message " + m_core.store().msMsgDir + name +
                           u".vox was not played and stays as it was: " + played.failure);
        modVNQRN::MsgBox(text, modVNQRN::MsgBoxIcon::Exclamation);
        m_core.UpdateDisplayState();
    });
    return true;
}

void PlaybackEngine::finishPlayback()
{
    if (!m_core.useSoundCard())
        runReported([&] { phoneHelp().PlayTone(kEndBeeps); });
    runReported([&] { m_core.UpdateDisplayState(); });
}

void PlaybackEngine::PlayAllMsgs(qint32 &lSkipSecs)
{
    const auto playback = enterPlayback();
    if (m_ending || !connectForPlaying() || m_stopBeforePlay)
        return;
    MessageStore &store = m_core.store();
    if (store.msPlayQueue.isEmpty())
        store.msPlayQueue = store.msEntityList;
    if (m_playAll != PlayAllButton::Resume)
        store.mlEntityPos = 0;
    while (!store.msPlayQueue.isEmpty()) {
        QString name = GetLeftItem(store.msPlayQueue, QStringLiteral(","));
        name = resolvedName(name);
        if (name.isEmpty())
            return;
        // A resumed message keeps its number.
        if (lSkipSecs == 0)
            ++store.mlEntityPos;
        const Played played = playMessage(name, lSkipSecs);
        if (playFailed(name, played))
            return;
        if (mbStopRequested || played.hungUp) {
            store.msPlayQueue.clear();
            return;
        }
        if (played.paused) {
            store.msPlayQueue =
                store.msPlayQueue.isEmpty() ? name : name + u',' + store.msPlayQueue;
            return;
        }
        // Also ends the skip of a resume: later messages play from their start.
        mlResumeSecs = 0;
        if (isNewName(name))
            markPlayed(name, played.file);
    }
    finishPlayback();
}

void PlaybackEngine::PlayLastMsg(qint32 &lSkipSecs)
{
    const auto playback = enterPlayback();
    if (m_ending || !connectForPlaying() || m_stopBeforePlay)
        return;
    MessageStore &store = m_core.store();
    QString copy = store.msEntityList;
    QString name;
    qint32 count = 0;
    while (!copy.isEmpty()) {
        name = GetLeftItem(copy, QStringLiteral(","));
        ++count;
    }
    store.mlEntityPos = count;
    name = resolvedName(name);
    if (name.isEmpty())
        return;
    const Played played = playMessage(name, lSkipSecs);
    if (playFailed(name, played) || played.paused)
        return;
    mlResumeSecs = 0;
    if (mbStopRequested || played.hungUp)
        return;
    if (isNewName(name))
        markPlayed(name, played.file);
    finishPlayback();
}

void PlaybackEngine::PlayNewMsg(qint32 &lSkipSecs)
{
    const auto playback = enterPlayback();
    if (m_ending || !connectForPlaying() || m_stopBeforePlay)
        return;
    MessageStore &store = m_core.store();
    // The entity's first new message; its last message when none is new.
    QString copy = store.msEntityList;
    QString name;
    qint32 count = 0;
    while (!copy.isEmpty()) {
        name = GetLeftItem(copy, QStringLiteral(","));
        ++count;
        if (isNewName(name))
            break;
    }
    store.mlEntityPos = count;
    name = resolvedName(name);
    if (name.isEmpty())
        return;
    const Played played = playMessage(name, lSkipSecs);
    if (playFailed(name, played) || played.paused)
        return;
    mlResumeSecs = 0;
    if (played.hungUp)
        return;
    // With "RenameOnStop" on, a new message the operator stopped counts as
    // heard; one cut off because the control went away does not.
    if (m_ending || (mbStopRequested && !mbRenameOnStop))
        return;
    markPlayed(name, played.file);
    finishPlayback();
}

} // namespace VNOrvak

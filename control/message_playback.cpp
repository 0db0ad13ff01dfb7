#include "message_playback.h"

#include "display_states.h"
#include "numeric_value.h"
#include "playback_engine.h"
#include "reported_step.h"

#include "shared/environment.h"
#include "shared/error.h"
#include "shared/profile.h"
#include "telephony/line_holder.h"
#include "telephony/vox_decoder.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

using namespace modVNQRN;

namespace VNOrvak
{

namespace
{

// Keeps the engine alive while one of its calls runs: a MessagePlayback
// deleted meanwhile leaves it to end on the event loop.
class Busy
{
public:
    explicit Busy(PlaybackEngine &e) : m_e(e) { ++m_e.m_busy; }
    ~Busy()
    {
        if (--m_e.m_busy == 0 && m_e.m_orphaned)
            m_e.deleteLater();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    PlaybackEngine &m_e;
};

} // namespace

PlaybackEngine::PlaybackEngine(MessagePlayback &owner) : m_owner(&owner)
{
    m_core.setRenderer(this);
    m_tick.setInterval(1000);
    QObject::connect(&m_tick, &QTimer::timeout, this, [this] {
        const Busy busy(*this);
        tick();
    });
    // The core's events reach the host through the owner, while the engine
    // counts as busy: a host that deletes the owner in its slot is safe.
    QObject::connect(&m_core, &MessageControlCore::FinishedPlayingNewMsg, this, [this] {
        const Busy busy(*this);
        if (m_owner)
            Q_EMIT m_owner->FinishedPlayingNewMsg();
    });
    QObject::connect(&m_core, &MessageControlCore::MsgUpdated, this, [this] {
        const Busy busy(*this);
        if (m_owner)
            Q_EMIT m_owner->MsgUpdated();
    });
    QObject::connect(&m_core, &MessageControlCore::IDChanged, this,
                     [this](const QString &id, bool &hasNew, const QString &code) {
                         const Busy busy(*this);
                         if (m_owner)
                             Q_EMIT m_owner->IDChanged(id, hasNew, code);
                     });
}

PlaybackEngine::~PlaybackEngine()
{
    m_core.setRenderer(nullptr);
    m_tick.stop();
}

// The owner is going: the playback ends now, the call is hung up, and what
// still runs on the stack finishes against this engine, deleted afterwards.
void PlaybackEngine::orphan(std::unique_ptr<PlaybackEngine> self)
{
    m_owner = nullptr;
    m_view = nullptr;
    m_tick.stop();
    mbStopRequested = true;
    m_core.store().msPlayQueue.clear();
    m_ending = true;
    if (clsPhoneHelp *helper = m_core.phoneHelp()) {
        helper->StopMsg();
        if (!m_core.useSoundCard())
            helper->DisconnectCall();
    }
    if (m_busy > 0 || m_core.busy()) {
        m_orphaned = true;
        self.release();
        // Inside a poll alone: deleted once the event loop has it again.
        if (m_busy == 0)
            deleteLater();
    }
}

void PlaybackEngine::loadSettings()
{
    const QString soundCard = ReadProfileString(
        QStringLiteral("Zuzidivuz"), QStringLiteral("SoundCard"), QStringLiteral("0"), gsLocalIni);
    m_core.setUseSoundCard(std::round(NumericValue(soundCard)) != 0);
    msTempFile = gsLocalPath + u"TEMP.vox";

    const qint64 interval = qint64(ReadProfileInt(QStringLiteral("Messages"),
                                                  QStringLiteral("MsgTimer"), 20, gsLocalIni)) *
                            1000;
    if (interval > std::numeric_limits<qint32>::max() ||
        interval < std::numeric_limits<qint32>::min())
        throw Error(errOverflow);
    // A negative interval never fires, like 0.
    m_core.setTimerInterval(static_cast<int>(std::max<qint64>(interval, 0)));

    mbRenameOnStop = ReadProfileInt(QStringLiteral("Messages"), QStringLiteral("RenameOnStop"), 1,
                                    gsLocalIni) != 0;
    m_voxRate = VoiceBocxLib::voxRateSetting(gsLocalIni);
}

void PlaybackEngine::terminate()
{
    clsPhoneHelp *helper = m_core.phoneHelp();
    if (!helper)
        return;
    if (mPlayDepth > 0) {
        // During a playback: stop it; the play procedure releases the helper
        // once it has left, so no call still running uses a released board.
        mbReleasePending = true;
        mbStopRequested = true;
        m_core.store().msPlayQueue.clear();
        helper->StopMsg();
        return;
    }
    releaseTelephony();
}

void PlaybackEngine::releaseTelephony()
{
    mbReleasePending = false;
    clsPhoneHelp *helper = m_core.phoneHelp();
    if (!helper)
        return;
    helper->WaitForIdleState();
    VNOrvakTelephony::releaseLine(gsLocalIni);
    m_core.releasePhoneHelp();
    // The released helper's route is gone: the next playback connects again.
    m_core.mbConnected = false;
}

// The play buttons take their captions from the display states; a state
// that does not name them leaves them as they were.
void PlaybackEngine::ShowState(int state, const QString &text)
{
    const Busy busy(*this);
    switch (state) {
    case dsNewMessages:
    case dsNoNewMessages:
        m_playAll = PlayAllButton::Play;
        m_playLast = PlayLastButton::PlayLast;
        break;
    case dsPlaying:
        // The window fails to show a message whose file is gone, and keeps its captions.
        if (QFileInfo(m_core.store().msMsgDir + text + u".vox").exists()) {
            m_playAll = PlayAllButton::Pause;
            m_playLast = PlayLastButton::Stop;
        }
        break;
    case dsPaused:
        m_playAll = PlayAllButton::Resume;
        break;
    default:
        break;
    }
    if (m_view)
        m_view->ShowState(state, text);
    publish();
}

void PlaybackEngine::ClearNotes()
{
    if (m_view)
        m_view->ClearNotes();
}

void PlaybackEngine::ShowNotes(const QString &text)
{
    if (m_view)
        m_view->ShowNotes(text);
}

// The message whose play begins now: its place, date and length.
void PlaybackEngine::beginMessage(const QString &name, qint32 skipSecs)
{
    const MessageStore &store = m_core.store();
    const QFileInfo file(store.msMsgDir + name + u".vox");
    m_current = PlaybackState();
    m_current.phase = PlaybackState::Phase::Playing;
    m_current.entity = store.msEntityID;
    m_current.message = name;
    m_current.position = store.mlEntityPos;
    m_current.count = store.mlEntityMsgCnt;
    m_current.callDate = file.exists() ? file.lastModified() : QDateTime();
    // Every byte holds two samples.
    m_current.lengthSeconds = m_voxRate > 0 ? double(file.size()) * 2 / m_voxRate : 0;
    // The sound card plays a resumed message from its beginning.
    m_currentSkip = m_core.useSoundCard() ? 0 : std::max(0, skipSecs);
    m_current.playedSeconds = m_currentSkip;
}

// Playing while a play procedure runs with a message begun, paused while the
// Play button offers Resume, else idle.
void PlaybackEngine::publish()
{
    PlaybackState next;
    if (!m_current.message.isEmpty() && m_playAll == PlayAllButton::Resume) {
        next = m_current;
        next.phase = PlaybackState::Phase::Paused;
        next.playedSeconds = mlResumeSecs;
    } else if (!m_current.message.isEmpty() && mPlayDepth > 0) {
        next = m_current;
        next.phase = PlaybackState::Phase::Playing;
        next.playedSeconds =
            m_state.message == next.message ? m_state.playedSeconds : m_current.playedSeconds;
    } else {
        m_current = PlaybackState();
    }
    const bool changed = !next.sameApartFromPlayed(m_state);
    m_state = next;
    if (m_state.phase == PlaybackState::Phase::Playing) {
        if (!m_tick.isActive())
            m_tick.start();
    } else {
        m_tick.stop();
    }
    if (changed && m_owner)
        Q_EMIT m_owner->stateChanged(m_state);
}

void PlaybackEngine::tick()
{
    // Between the plays (the beeps, the marking) the seconds stay as they were.
    clsPhoneHelp *helper = m_core.phoneHelp();
    if (m_state.phase != PlaybackState::Phase::Playing || !helper || !helper->Playing())
        return;
    m_state.playedSeconds =
        std::min(m_state.lengthSeconds, double(m_currentSkip + helper->PlayedSeconds()));
    if (m_owner)
        Q_EMIT m_owner->elapsed(m_state.playedSeconds);
}

MessagePlayback::MessagePlayback(QObject *parent)
    : QObject(parent), d(std::make_unique<PlaybackEngine>(*this))
{
    qRegisterMetaType<VNOrvak::PlaybackState>();
}

MessagePlayback::~MessagePlayback()
{
    PlaybackEngine *engine = d.get();
    engine->orphan(std::move(d));
}

MessageControlCore &MessagePlayback::core()
{
    return d->m_core;
}

const MessageControlCore &MessagePlayback::core() const
{
    return d->m_core;
}

const PlaybackState &MessagePlayback::state() const
{
    return d->m_state;
}

void MessagePlayback::InitializeForProgram(const QString &ProgramName)
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.msProgramName = ProgramName;
    InitEnvironment(ProgramName.left(2));
    e.loadSettings();
    e.m_core.store().SetMessagesPath();
    e.m_core.RescanMessages();
}

void MessagePlayback::InitializeForID(const QString &msgID, const QString &MsgCode)
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.m_core.InitializeForID(msgID, MsgCode);
}

void MessagePlayback::Terminate()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.terminate();
}

void MessagePlayback::newMessage()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.cmdNewMsg_Click();
}

void MessagePlayback::previousEntity()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.cmdPrevMsg_Click();
}

void MessagePlayback::nextEntity()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.cmdNextMsg_Click();
}

void MessagePlayback::playAll()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.cmdPlayAll_Click();
}

void MessagePlayback::playLast()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.cmdPlayLast_Click();
}

void MessagePlayback::stop()
{
    PlaybackEngine &e = *d;
    const Busy busy(e);
    e.stop();
}

MessagePlayback::PlayAllButton MessagePlayback::playAllButton() const
{
    return d->m_playAll;
}

MessagePlayback::PlayLastButton MessagePlayback::playLastButton() const
{
    return d->m_playLast;
}

void MessagePlayback::setRenderer(DisplayRenderer *view)
{
    d->m_view = view;
}

void MessagePlayback::setElapsedInterval(int ms)
{
    d->m_tick.setInterval(ms);
}

} // namespace VNOrvak

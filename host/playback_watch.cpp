#include "playback_watch.h"

#include "control/message_control.h"
#include "control/message_playback.h"

#include "shared/clock.h"

#include <QPushButton>
#include <QThread>

namespace VNOrvak
{

using Phase = PlaybackState::Phase;

PlaybackWatch::PlaybackWatch(MessageControl &control, QObject *parent)
    : QObject(parent), m_control(control), m_playback(control.playback())
{
    m_state = m_playback.state();
    connect(&m_playback, &MessagePlayback::stateChanged, this, &PlaybackWatch::refresh);
    connect(&m_playback, &MessagePlayback::elapsed, this, [this](double played) {
        m_state.playedSeconds = played;
        Q_EMIT elapsed(played);
    });
    m_unwind.setInterval(10);
    connect(&m_unwind, &QTimer::timeout, this, [this] {
        // A timer fires only from an event loop: at the level the playback
        // started from, the playback is no longer on the stack. At most 2 s
        // (a playback that never returns must not hold the operator).
        const bool returned = QThread::currentThread()->loopLevel() <= m_pendingLevel;
        if (!returned && modVNQRN::appClock().monotonicMs() - m_pendingSinceMs < 2000)
            return;
        m_unwind.stop();
        std::vector<std::function<void()>> pending;
        pending.swap(m_pending);
        for (const auto &next : pending)
            next();
    });
    // The event-loop level a playback starts from: a press of a button that
    // plays, while nothing plays or a playback is paused.
    for (const char *name : {"cmdNewMsg", "cmdPrevMsg", "cmdPlayAll", "cmdNextMsg", "cmdPlayLast"})
        if (auto *b = m_control.findChild<QPushButton *>(QString::fromLatin1(name)))
            connect(b, &QPushButton::pressed, this, [this] {
                if (m_playback.state().phase != Phase::Playing)
                    m_startLevel = QThread::currentThread()->loopLevel();
            });
}

void PlaybackWatch::refresh()
{
    const PlaybackState &now = m_playback.state();
    const bool changed = !now.sameApartFromPlayed(m_state);
    m_state = now;
    if (changed)
        Q_EMIT stateChanged(m_state);
}

bool PlaybackWatch::stop()
{
    refresh();
    if (!active())
        return false;
    m_playback.stop();
    refresh();
    return true;
}

void PlaybackWatch::stopThen(std::function<void()> next)
{
    refresh();
    if (!active() && m_pending.empty()) {
        next();
        return;
    }
    if (m_pending.empty()) {
        const int level = QThread::currentThread()->loopLevel();
        m_pendingLevel = m_startLevel >= 0 && m_startLevel < level ? m_startLevel : level - 1;
        m_pendingSinceMs = modVNQRN::appClock().monotonicMs();
    }
    m_pending.push_back(std::move(next));
    stop();
    m_unwind.start();
}

} // namespace VNOrvak

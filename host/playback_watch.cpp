#include "playback_watch.h"

#include "message_facts.h"

#include "control/message_control.h"

#include "shared/clock.h"

#include <QPushButton>
#include <QThread>

#include <cmath>

namespace VNOrvak
{

using Phase = ConsolePlaybackState::Phase;

bool ConsolePlaybackState::sameAs(const ConsolePlaybackState &o) const
{
    return phase == o.phase && entity == o.entity && message == o.message &&
           position == o.position && count == o.count && callDate == o.callDate &&
           lengthSeconds == o.lengthSeconds;
}

PlaybackWatch::PlaybackWatch(MessageControl &control, QObject *parent)
    : QObject(parent), m_control(control)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &PlaybackWatch::refresh);
    m_timer.start();
    connect(&m_control, &MessageControl::MsgUpdated, this, &PlaybackWatch::refresh);
    connect(&m_control, &MessageControl::FinishedPlayingNewMsg, this, &PlaybackWatch::refresh);
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
                if (m_state.phase != Phase::Playing)
                    m_startLevel = QThread::currentThread()->loopLevel();
            });
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

ConsolePlaybackState PlaybackWatch::read() const
{
    ConsolePlaybackState s;
    const auto *play = m_control.findChild<QPushButton *>(QStringLiteral("cmdPlayAll"));
    const QString caption = play ? play->text() : QString();
    // The play button's caption is the control's playback state.
    if (caption == u"Pau&se")
        s.phase = Phase::Playing;
    else if (caption == u"Res&ume")
        s.phase = Phase::Paused;
    else
        return s;
    const MessageStore &store = m_control.core().store();
    s.entity = store.msEntityID;
    s.position = store.mlEntityPos;
    s.count = store.mlEntityMsgCnt;
    const QStringList names = store.msEntityList.split(u',', Qt::SkipEmptyParts);
    if (s.position >= 1 && s.position <= names.size()) {
        const MessageFacts facts = messageFacts(names[s.position - 1], store.msMsgDir);
        s.message = facts.name;
        s.callDate = facts.received;
        s.lengthSeconds = facts.lengthSeconds;
    }
    return s;
}

void PlaybackWatch::refresh()
{
    ConsolePlaybackState next = read();
    const qint64 now = modVNQRN::appClock().monotonicMs();
    const bool sameMessage = next.message == m_state.message && next.entity == m_state.entity &&
                             m_state.phase != Phase::Idle;
    if (!sameMessage) {
        m_playedBefore = 0;
        m_runningSinceMs = -1;
        m_lastWholeSecond = -1;
    }
    if (m_runningSinceMs >= 0 && next.phase != Phase::Playing) {
        m_playedBefore += (now - m_runningSinceMs) / 1000.0;
        m_runningSinceMs = -1;
    } else if (m_runningSinceMs < 0 && next.phase == Phase::Playing) {
        m_runningSinceMs = now;
    }
    double played = m_playedBefore;
    if (m_runningSinceMs >= 0)
        played += (now - m_runningSinceMs) / 1000.0;
    if (next.phase != Phase::Idle)
        next.playedSeconds = next.lengthSeconds > 0 ? std::min(played, next.lengthSeconds) : played;

    const bool changed = !next.sameAs(m_state);
    m_state = next;
    if (changed)
        Q_EMIT stateChanged(m_state);
    const int whole = int(std::floor(m_state.playedSeconds));
    if (m_state.phase == Phase::Playing && whole != m_lastWholeSecond) {
        m_lastWholeSecond = whole;
        Q_EMIT elapsed(m_state.playedSeconds);
    }
}

bool PlaybackWatch::stop()
{
    refresh();
    if (!active())
        return false;
    auto *stopButton = m_control.findChild<QPushButton *>(QStringLiteral("cmdPlayLast"));
    if (stopButton && stopButton->text() == u"&Stop" && stopButton->isEnabled())
        stopButton->click();
    refresh();
    return true;
}

} // namespace VNOrvak

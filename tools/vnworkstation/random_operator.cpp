#include "random_operator.h"

#include "event_log.h"

#include "control/message_control.h"
#include "shared/error.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

using namespace VNOrvak;

namespace
{

QString outcomeName(HeardOutcome outcome)
{
    switch (outcome) {
    case HeardOutcome::Renamed:
        return QStringLiteral("renamed");
    case HeardOutcome::HeardElsewhere:
        return QStringLiteral("heard_elsewhere");
    case HeardOutcome::Purged:
        return QStringLiteral("purged");
    case HeardOutcome::HeardBeforePlay:
        return QStringLiteral("heard_before_play");
    case HeardOutcome::Failed:
        return QStringLiteral("failed");
    case HeardOutcome::AlreadyHeard:
        return QStringLiteral("already_heard");
    case HeardOutcome::NewerCopyKept:
        return QStringLiteral("newer_copy_kept");
    case HeardOutcome::HeardNameTaken:
        return QStringLiteral("heard_name_taken");
    case HeardOutcome::InUse:
        return QStringLiteral("in_use");
    }
    return QStringLiteral("unknown");
}

} // namespace

RandomOperator::RandomOperator(MessageControl &control, EventLog &log, const Settings &settings)
    : m_control(control), m_log(log), m_settings(settings), m_random(settings.seed)
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &RandomOperator::act);
    connectEvents();
}

void RandomOperator::connectEvents()
{
    MessageControlCore &core = m_control.core();
    connect(&m_control, &MessageControl::MsgUpdated, this, [this] {
        m_log.write(QStringLiteral("msg_updated"),
                    {{QStringLiteral("list"), m_control.Messages()},
                     {QStringLiteral("cnt"), m_control.MsgCnt()},
                     {QStringLiteral("new"), m_control.NewMsgCnt()}});
        // A host that keeps the entity's list fresh selects it again.
        const QString id = m_control.core().store().msEntityID;
        if (!id.isEmpty() && chance(m_settings.refreshOnUpdate))
            perform(QStringLiteral("refresh"), Via::Host, [&] { m_control.InitializeForID(id); });
    });
    connect(&m_control, &MessageControl::FinishedPlayingNewMsg, this,
            [this] { m_log.write(QStringLiteral("finished_new")); });
    connect(&m_control, &MessageControl::IDChanged, this,
            [this](const QString &id, bool &hasNew, const QString &) {
                m_log.write(QStringLiteral("id_changed"),
                            {{QStringLiteral("id"), id}, {QStringLiteral("has_new"), hasNew}});
            });
    connect(&core, &MessageControlCore::MarkedHeard, this,
            [this](const QString &name, HeardOutcome outcome) {
                m_log.write(QStringLiteral("heard"),
                            {{QStringLiteral("name"), name},
                             {QStringLiteral("outcome"), outcomeName(outcome)}});
            });
}

void RandomOperator::start()
{
    scheduleNext();
}

void RandomOperator::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    m_next.stop();
    m_log.write(QStringLiteral("finishing"), {{QStringLiteral("running"), m_depth}});
    if (m_depth == 0) {
        m_done = true;
        Q_EMIT finished();
        return;
    }
    // A playback is running: Stop ends it, once a message plays or is paused
    // (not while the call is still being made).
    connect(&m_next, &QTimer::timeout, this, [this] {
        if (m_depth > 0 && phase() != PlaybackState::Phase::Idle)
            press("cmdPlayLast", QStringLiteral("stop"));
    });
    disconnect(&m_next, &QTimer::timeout, this, &RandomOperator::act);
    m_next.setSingleShot(false);
    m_next.start(50);
}

void RandomOperator::scheduleNext()
{
    if (m_finishing)
        return;
    // Exponential pauses: now quick succession, now a longer look.
    const double u = std::max(1e-6, m_random.generateDouble());
    m_next.start(static_cast<int>(std::min(-std::log(u), 5.0) * m_settings.thinkMs));
}

void RandomOperator::act()
{
    // The next action is due even while this one runs: Pause and Stop come
    // from inside a playback.
    scheduleNext();
    if (m_depth > 0)
        actDuringPlayback();
    else
        actIdle();
}

void RandomOperator::actDuringPlayback()
{
    if (phase() == PlaybackState::Phase::Playing && chance(0.2))
        press("cmdPlayAll", QStringLiteral("pause"));
    else if (phase() != PlaybackState::Phase::Idle && chance(0.1))
        press("cmdPlayLast", QStringLiteral("stop"));
}

void RandomOperator::actIdle()
{
    if (phase() == PlaybackState::Phase::Paused) {
        if (chance(0.7))
            press("cmdPlayAll", QStringLiteral("resume"));
        else
            press("cmdPlayLast", QStringLiteral("stop"));
        return;
    }
    const int pick = static_cast<int>(m_random.bounded(100));
    if (pick < 25) {
        press("cmdPlayAll", QStringLiteral("play"));
    } else if (pick < 45) {
        press("cmdNewMsg", QStringLiteral("new_msg"));
    } else if (pick < 57) {
        press("cmdNextMsg", QStringLiteral("next"));
    } else if (pick < 65) {
        press("cmdPrevMsg", QStringLiteral("previous"));
    } else if (pick < 72) {
        press("cmdPlayLast", QStringLiteral("play_last"));
    } else if (pick < 85) {
        selectRandomEntity();
    } else if (pick < 90) {
        perform(QStringLiteral("play"), Via::Host, [this] { m_control.ClickPlayAllMsgButton(); });
    } else if (pick < 95) {
        perform(QStringLiteral("new_msg"), Via::Host, [this] { m_control.ClickNewMsgButton(); });
    } else {
        perform(QStringLiteral("play_last"), Via::Host,
                [this] { m_control.ClickPlayLastMsgButton(); });
    }
}

template <typename Action>
void RandomOperator::perform(const QString &what, Via via, Action &&action)
{
    ++m_actions;
    ++m_depth;
    const QString viaName = via == Via::Button ? QStringLiteral("button") : QStringLiteral("host");
    m_log.write(QStringLiteral("action"),
                {{QStringLiteral("what"), what},
                 {QStringLiteral("via"), viaName},
                 {QStringLiteral("entity"), m_control.core().store().msEntityID}});
    QElapsedTimer took;
    took.start();
    const auto done = qScopeGuard([&] {
        --m_depth;
        m_log.write(QStringLiteral("action_end"),
                    {{QStringLiteral("what"), what}, {QStringLiteral("ms"), took.elapsed()}});
        if (m_finishing && m_depth == 0 && !m_done) {
            m_next.stop();
            m_done = true;
            Q_EMIT finished();
        }
    });
    try {
        action();
    } catch (...) {
        // The host's calls throw their failures (ClickPlayLastMsgButton does).
        const modVNQRN::Error error = modVNQRN::currentError();
        m_log.write(QStringLiteral("host_error"), {{QStringLiteral("what"), what},
                                                   {QStringLiteral("number"), error.number()},
                                                   {QStringLiteral("text"), error.description()}});
    }
}

void RandomOperator::press(const char *button, const QString &what)
{
    auto *b = m_control.findChild<QPushButton *>(QString::fromLatin1(button));
    if (!b || !b->isEnabled() || b->isHidden())
        return;
    perform(what, Via::Button, [b] { b->click(); });
}

void RandomOperator::selectRandomEntity()
{
    const QStringList names = m_control.Messages().split(u',', Qt::SkipEmptyParts);
    const QString id = names.isEmpty()
                           ? QString()
                           : names[static_cast<int>(m_random.bounded(names.size()))].mid(2, 9);
    perform(QStringLiteral("select"), Via::Host, [&] { m_control.InitializeForID(id); });
}

PlaybackState::Phase RandomOperator::phase() const
{
    return m_control.playback().state().phase;
}

#include "playback_panel.h"

#include "entity_picker.h"
#include "message_facts.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace VNOrvak
{

using Phase = PlaybackState::Phase;

QString playbackWords(const PlaybackState &s)
{
    if (s.phase == Phase::Idle)
        return QObject::tr("Not playing");
    QString words = s.phase == Phase::Playing ? QObject::tr("Playing") : QObject::tr("Paused");
    words += QObject::tr(" message %1 of %2 of entity %3")
                 .arg(s.position)
                 .arg(s.count)
                 .arg(displayEntityId(s.entity));
    if (s.callDate.isValid())
        words +=
            QObject::tr(", received %1")
                .arg(QLocale::c().toString(s.callDate, QStringLiteral("ddd yyyy-MM-dd HH:mm")));
    if (s.lengthSeconds > 0)
        words += QObject::tr(", length %1").arg(minutesSeconds(s.lengthSeconds));
    return words;
}

PlaybackPanel::PlaybackPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlPlayback"));
    m_now = new QLabel(playbackWords(m_state));
    m_now->setObjectName(QStringLiteral("lblNowPlaying"));
    m_now->setWordWrap(true);
    m_bar = new QProgressBar;
    m_bar->setObjectName(QStringLiteral("barProgress"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_elapsed = new QLabel;
    m_elapsed->setObjectName(QStringLiteral("lblElapsed"));
    m_elapsed->setMinimumWidth(
        m_elapsed->fontMetrics().horizontalAdvance(QStringLiteral("00:00 / 00:00 ")));
    m_elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_bar, 1);
    row->addWidget(m_elapsed);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_now);
    layout->addLayout(row);

    setAccessibleName(tr("Playback"));
    setAccessibleDescription(tr("What plays now and how far it has played"));
    m_now->setAccessibleDescription(tr("The message playing or paused"));
    m_bar->setAccessibleName(tr("Played so far"));
    m_bar->setAccessibleDescription(tr("Seconds of the message played"));
    m_elapsed->setAccessibleDescription(tr("Elapsed and total length, minutes and seconds"));
}

void PlaybackPanel::showState(const PlaybackState &state)
{
    const bool announceIt = state.phase != m_state.phase || state.message != m_state.message ||
                            state.entity != m_state.entity;
    m_state = state;
    m_now->setText(playbackWords(state));
    if (state.phase == Phase::Idle) {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    } else {
        m_bar->setRange(0, std::max(1, int(std::ceil(state.lengthSeconds))));
    }
    showElapsed(state.playedSeconds);
    if (announceIt)
        announce(m_now->text());
}

void PlaybackPanel::showElapsed(double playedSeconds)
{
    m_state.playedSeconds = playedSeconds;
    if (m_state.phase == Phase::Idle) {
        m_elapsed->clear();
        return;
    }
    m_bar->setValue(std::min(m_bar->maximum(), int(std::floor(playedSeconds))));
    m_elapsed->setText(minutesSeconds(playedSeconds) + u" / " +
                       minutesSeconds(m_state.lengthSeconds));
    m_elapsed->setAccessibleName(
        tr("%1 of %2 played")
            .arg(minutesSeconds(playedSeconds), minutesSeconds(m_state.lengthSeconds)));
}

QString PlaybackPanel::elapsedText() const
{
    return m_elapsed->text();
}

void PlaybackPanel::announce(const QString &words)
{
    m_announcement = words;
    m_now->setAccessibleName(words);
    // Qt 6.4 has no announcement event of its own: a name change of the
    // status text and an alert on the panel are what screen readers speak.
    QAccessibleEvent nameChanged(m_now, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    Q_EMIT announced(words);
}

} // namespace VNOrvak

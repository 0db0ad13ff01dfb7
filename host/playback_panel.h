#pragma once

#include "playback_watch.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace VNOrvak
{

/// What plays now: the entity, n of m and the call's date, a progress bar,
/// and elapsed / total as m:ss. A change of the playback's phase or message
/// is announced to screen readers.
class PlaybackPanel : public QWidget
{
    Q_OBJECT

public:
    explicit PlaybackPanel(QWidget *parent = nullptr);

    void showState(const PlaybackState &state);
    void showElapsed(double playedSeconds);

    /// "0:12 / 0:40" while a message plays or is paused, else "".
    QString elapsedText() const;
    /// The words of the last announcement.
    QString announcement() const { return m_announcement; }

Q_SIGNALS:
    /// A change was announced with `words`.
    void announced(const QString &words);

private:
    void announce(const QString &words);

    QLabel *m_now = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_elapsed = nullptr;
    PlaybackState m_state;
    QString m_announcement;
};

/// The words said when the playback reaches `state`.
QString playbackWords(const PlaybackState &state);

} // namespace VNOrvak

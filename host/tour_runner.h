#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

namespace VNOrvak
{

/// One step of a scripted tour: an action (a click, a pick), then the state
/// the window should reach, then a screenshot.
struct TourStep {
    QString name;        ///< short, also the screenshot's name: "Play", "Pause"
    QString expectation; ///< the state waited for, in words: "playing"
    /// Runs from the event loop. It may block (a click that starts a
    /// playback returns when the playback ends); the tour goes on meanwhile.
    std::function<void()> action;
    /// Whether the state has been reached; asked every few milliseconds.
    std::function<bool()> reached;
};

/// Runs tour steps one after the other on the event loop. Each step's action
/// runs, the tour waits (bounded) until the step's state is reached and saves
/// a screenshot of the window as "NN-name.png". A step that does not reach
/// its state in time ends the tour as failed, after the cleanup has run.
/// Time is measured with modVNQRN::appClock().
class TourRunner : public QObject
{
    Q_OBJECT

public:
    /// Screenshots of `window` go to `screenshotFolder` (created when missing).
    TourRunner(QWidget &window, QString screenshotFolder, QObject *parent = nullptr);

    void addStep(TourStep step);
    /// Runs at the end of a failed tour, to leave the window idle (stop a
    /// playback, say).
    void setCleanup(std::function<void()> cleanup) { m_cleanup = std::move(cleanup); }
    /// How long a step may take to reach its state (default 30 s).
    void setStepTimeoutMs(qint64 ms) { m_timeoutMs = ms; }

    /// Starts the first step; finished() follows once the last step is done
    /// and no action is still running.
    void start();

    bool succeeded() const { return m_failure.isEmpty() && m_done; }
    QString failure() const { return m_failure; }
    QStringList screenshots() const { return m_screenshots; }
    /// Actions that have started and not yet returned.
    int runningActions() const { return m_running; }

Q_SIGNALS:
    /// One line of progress: a step begun, reached or failed.
    void progress(const QString &line);
    void finished(bool succeeded);

private:
    void beginStep();
    void poll();
    void stepReached();
    void fail(const QString &why);
    void runAction(const std::function<void()> &action);
    bool saveScreenshot(const QString &suffix);
    QString stepTitle() const;

    QWidget &m_window;
    QString m_folder;
    QList<TourStep> m_steps;
    std::function<void()> m_cleanup;
    qint64 m_timeoutMs = 30000;
    qsizetype m_current = -1;
    QDateTime m_deadline;
    QTimer m_poll;
    int m_running = 0;
    bool m_winding = false; // all steps done or failed: waiting for actions to return
    bool m_done = false;
    QString m_failure;
    QStringList m_screenshots;
};

} // namespace VNOrvak

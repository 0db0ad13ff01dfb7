#include "tour_runner.h"

#include "shared/clock.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace VNOrvak
{

namespace
{

constexpr int kPollMs = 10;

QString fileNamePart(const QString &name)
{
    QString part;
    for (const QChar c : name.toLower())
        part += c.isLetterOrNumber() ? c : u'-';
    return part;
}

} // namespace

TourRunner::TourRunner(QWidget &window, QString screenshotFolder, QObject *parent)
    : QObject(parent), m_window(window), m_folder(std::move(screenshotFolder))
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &TourRunner::poll);
}

void TourRunner::addStep(TourStep step)
{
    m_steps.append(std::move(step));
}

void TourRunner::start()
{
    if (!QDir().mkpath(m_folder)) {
        fail(u"cannot create the screenshot folder " + m_folder);
        return;
    }
    m_current = -1;
    stepReached();
}

QString TourRunner::stepTitle() const
{
    return u"Step " + QString::number(m_current + 1) + u'/' + QString::number(m_steps.size()) +
           u' ' + m_steps[m_current].name;
}

void TourRunner::beginStep()
{
    const TourStep &step = m_steps[m_current];
    Q_EMIT progress(stepTitle() + u": waiting until " + step.expectation);
    m_deadline = modVNQRN::appClock().now().addMSecs(m_timeoutMs);
    if (step.action) {
        // Queued, so a blocking action runs from the event loop and never
        // from inside this runner.
        QTimer::singleShot(0, this, [this, action = step.action] { runAction(action); });
    }
    m_poll.start();
}

void TourRunner::runAction(const std::function<void()> &action)
{
    ++m_running;
    action();
    --m_running;
}

void TourRunner::poll()
{
    if (m_winding) {
        if (m_running == 0 || modVNQRN::appClock().now() > m_deadline) {
            m_poll.stop();
            m_winding = false;
            m_done = true;
            if (m_running > 0 && m_failure.isEmpty())
                m_failure = QStringLiteral("an action was still running at the end");
            Q_EMIT finished(succeeded());
        }
        return;
    }
    if (m_current < 0 || m_current >= m_steps.size())
        return;
    const TourStep &step = m_steps[m_current];
    if (step.reached && step.reached()) {
        m_poll.stop();
        stepReached();
    } else if (modVNQRN::appClock().now() > m_deadline) {
        m_poll.stop();
        fail(stepTitle() + u": not " + step.expectation + u" after " +
             QString::number(m_timeoutMs / 1000.0) + u" s");
    }
}

void TourRunner::stepReached()
{
    if (m_current >= 0) {
        if (!saveScreenshot(QString()))
            return;
        Q_EMIT progress(stepTitle() + u": " + m_steps[m_current].expectation + u" (" +
                        m_screenshots.last() + u')');
    }
    ++m_current;
    if (m_current < m_steps.size()) {
        beginStep();
        return;
    }
    m_winding = true;
    m_deadline = modVNQRN::appClock().now().addMSecs(m_timeoutMs);
    m_poll.start();
}

void TourRunner::fail(const QString &why)
{
    m_failure = why;
    Q_EMIT progress(why);
    if (m_current >= 0 && m_current < m_steps.size())
        saveScreenshot(QStringLiteral("-failed"));
    if (m_cleanup)
        QTimer::singleShot(0, this, [this] { runAction(m_cleanup); });
    m_winding = true;
    m_deadline = modVNQRN::appClock().now().addMSecs(m_timeoutMs);
    m_poll.start();
}

bool TourRunner::saveScreenshot(const QString &suffix)
{
    const QString path =
        QDir(m_folder).filePath(QStringLiteral("%1-%2%3.png")
                                    .arg(m_current + 1, 2, 10, QChar(u'0'))
                                    .arg(fileNamePart(m_steps[m_current].name), suffix));
    if (!m_window.grab().save(path)) {
        if (suffix.isEmpty())
            fail(u"cannot write the screenshot " + path);
        return false;
    }
    m_screenshots << path;
    return true;
}

} // namespace VNOrvak

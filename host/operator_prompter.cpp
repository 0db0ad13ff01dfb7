#include "operator_prompter.h"

#include "event_log_pane.h"
#include "problem_banner.h"

#include "shared/clock.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace VNOrvak
{

namespace
{

QMessageBox::Icon qtIcon(modVNQRN::MsgBoxIcon icon)
{
    switch (icon) {
    case modVNQRN::MsgBoxIcon::Critical:
        return QMessageBox::Critical;
    case modVNQRN::MsgBoxIcon::Question:
        return QMessageBox::Question;
    case modVNQRN::MsgBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case modVNQRN::MsgBoxIcon::Information:
        return QMessageBox::Information;
    case modVNQRN::MsgBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void showQtBox(const PlainProblem &p, modVNQRN::MsgBoxIcon icon, const QString &title)
{
    QMessageBox box(qtIcon(icon), title, p.what);
    box.setObjectName(QStringLiteral("boxProblem"));
    if (!p.where.isEmpty())
        box.setInformativeText(QObject::tr("Where: %1").arg(p.where));
    // QMessageBox puts the technical text behind its own Details button.
    if (p.details != p.what)
        box.setDetailedText(p.details);
    box.setAccessibleName(title);
    box.setAccessibleDescription(p.what);
    box.exec();
}

} // namespace

QString bannerText(const PlainProblem &p, const QDateTime &since, int times)
{
    QString text = p.what;
    if (!p.where.isEmpty())
        text += QObject::tr(" Where: %1.").arg(p.where);
    text += QObject::tr(" Since %1.").arg(since.toString(QStringLiteral("HH:mm:ss")));
    text += times > 1 ? QObject::tr(" Retrying (%1 times so far).").arg(times)
                      : QObject::tr(" Retrying.");
    return text;
}

OperatorPrompter::OperatorPrompter(EventLogPane &log, ProblemBanner &banner, BoxPresenter presenter)
    : m_log(log), m_banner(banner), m_present(presenter ? std::move(presenter) : showQtBox)
{
    modVNQRN::setAppPrompter(this);
    connect(&m_banner, &ProblemBanner::operatorAction, this,
            [this](const QString &what) { m_log.addEntry(u"Operator: " + what); });
    m_quiet.setInterval(5000);
    connect(&m_quiet, &QTimer::timeout, this, &OperatorPrompter::endQuietProblems);
    m_quiet.start();
}

OperatorPrompter::~OperatorPrompter()
{
    modVNQRN::setAppPrompter(nullptr);
}

void OperatorPrompter::messageBox(const QString &text, modVNQRN::MsgBoxIcon icon,
                                  const QString &title)
{
    const QString boxTitle = title.isEmpty() ? QString::fromUtf16(modVNQRN::kDefaultTitle) : title;
    endQuietProblems();
    const PlainProblem words = plainProblem(text);
    const qint64 now = modVNQRN::appClock().monotonicMs();
    auto it = m_problems.find(words.kind);
    const bool repeat = it != m_problems.end();
    if (!repeat)
        it = m_problems.insert(words.kind, {words, modVNQRN::appClock().now(), now, 0});
    it->lastSeenMs = now;
    ++it->times;
    it->words.details = text;
    m_latest = words.kind;
    const QString flat = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    const QString lead =
        repeat ? u"Box again (on the band, " + QString::number(it->times) + u" times) \""
               : QStringLiteral("Box \"");
    m_log.addEntry(lead + boxTitle + u"\": " + flat);
    std::fprintf(stderr, "%s: %s\n", qPrintable(boxTitle), qPrintable(flat));
    showBanner();
    if (!repeat) {
        m_present(words, icon, boxTitle);
        m_log.addEntry(u"Box closed \"" + boxTitle + u'"');
    }
}

void OperatorPrompter::setMousePointer(modVNQRN::MousePointer pointer)
{
    if (pointer == modVNQRN::MousePointer::Hourglass) {
        if (!QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void OperatorPrompter::showBanner()
{
    const auto it = m_problems.constFind(m_latest);
    if (it == m_problems.constEnd()) {
        m_banner.clearProblem();
        return;
    }
    QString text = bannerText(it->words, it->since, it->times);
    if (m_problems.size() > 1)
        text += tr(" (%1 problems in all)").arg(m_problems.size());
    m_banner.showProblem(text, it->words.details);
}

void OperatorPrompter::endProblem(const QString &kind, const QString &why)
{
    const Problem p = m_problems.take(kind);
    m_log.addEntry(u"Problem over (" + why + u"): " + p.words.what +
                   (p.words.where.isEmpty() ? QString() : u' ' + p.words.where));
    if (m_latest == kind)
        m_latest = m_problems.isEmpty() ? QString() : m_problems.begin().key();
}

void OperatorPrompter::endProblemsAt(const QString &place)
{
    if (place.isEmpty())
        return;
    const QStringList kinds = m_problems.keys();
    bool ended = false;
    for (const QString &kind : kinds) {
        const QString &where = m_problems[kind].words.where;
        if (!where.isEmpty() && (where.startsWith(place) || place.startsWith(where))) {
            endProblem(kind, QStringLiteral("found fine again"));
            ended = true;
        }
    }
    if (ended)
        showBanner();
}

void OperatorPrompter::endQuietProblems()
{
    const qint64 now = modVNQRN::appClock().monotonicMs();
    const QStringList kinds = m_problems.keys();
    bool ended = false;
    for (const QString &kind : kinds)
        if (now - m_problems[kind].lastSeenMs >= kQuietMs) {
            endProblem(kind, QStringLiteral("not seen for two minutes"));
            ended = true;
        }
    if (ended)
        showBanner();
}

} // namespace VNOrvak

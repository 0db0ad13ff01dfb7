#pragma once

#include "plain_words.h"

#include "shared/prompter.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

namespace VNOrvak
{

class EventLogPane;
class ProblemBanner;

/// Shows one modal box: the plain words, the place, and the technical text
/// behind a Details button.
using BoxPresenter =
    std::function<void(const PlainProblem &, modVNQRN::MsgBoxIcon, const QString &title)>;

/// The console's prompter for the control's boxes. A problem (boxes of one
/// kind: the same error at the same place) is shown in a modal box once; while
/// it keeps coming back it is one band on the console (what, where, since
/// when, "retrying") and no further box. It is over when the place is found
/// fine again (endProblemsAt) or after two quiet minutes; a later box of that
/// kind is a new problem. Every box goes to the event log. Installs itself
/// while alive. Time comes from modVNQRN::appClock().
class OperatorPrompter : public QObject, public modVNQRN::Prompter
{
    Q_OBJECT

public:
    /// How long a problem must stay away to be over.
    static constexpr qint64 kQuietMs = 120000;

    /// `presenter` shows the modal box; empty for a QMessageBox.
    OperatorPrompter(EventLogPane &log, ProblemBanner &banner, BoxPresenter presenter = {});
    ~OperatorPrompter() override;

    void messageBox(const QString &text, modVNQRN::MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(modVNQRN::MousePointer pointer) override;

    /// Ends the problems about `place` (a folder, say): it is fine again.
    void endProblemsAt(const QString &place);
    /// Ends the problems that have been quiet for kQuietMs (a timer does it
    /// every few seconds).
    void endQuietProblems();
    /// The problems still going on.
    int problems() const { return int(m_problems.size()); }

private:
    struct Problem {
        PlainProblem words;
        QDateTime since;
        qint64 lastSeenMs = 0;
        int times = 0;
    };
    void showBanner();
    void endProblem(const QString &kind, const QString &why);

    EventLogPane &m_log;
    ProblemBanner &m_banner;
    BoxPresenter m_present;
    QHash<QString, Problem> m_problems;
    QString m_latest; // kind shown on the band
    QTimer m_quiet;
};

/// The band's text for a problem.
QString bannerText(const PlainProblem &problem, const QDateTime &since, int times);

} // namespace VNOrvak

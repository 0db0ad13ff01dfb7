#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace VNOrvak
{

/// A band across the top of the console that tells of a problem that keeps
/// coming back without stopping the operator: what, where, since when, and
/// that the console keeps retrying. Its Details button shows the technical
/// text; Dismiss hides it until the next problem.
class ProblemBanner : public QFrame
{
    Q_OBJECT

public:
    explicit ProblemBanner(QWidget *parent = nullptr);

    /// Shows the banner with `summary`, and `details` behind Details.
    void showProblem(const QString &summary, const QString &details);
    /// Hides the banner.
    void clearProblem();

    QString summary() const;
    QString details() const;
    bool detailsShown() const;

Q_SIGNALS:
    /// The operator pressed Dismiss or Details (for the event log).
    void operatorAction(const QString &what);

private:
    QLabel *m_summary = nullptr;
    QLabel *m_details = nullptr;
    QPushButton *m_detailsButton = nullptr;
    QPushButton *m_dismiss = nullptr;
};

} // namespace VNOrvak

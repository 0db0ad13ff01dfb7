#include "problem_banner.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace VNOrvak
{

ProblemBanner::ProblemBanner(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("banProblem"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce)); // pale yellow: black text 18:1
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("lblProblem"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details = new QLabel;
    m_details->setObjectName(QStringLiteral("lblProblemDetails"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->hide();
    m_detailsButton = new QPushButton(tr("&Details"));
    m_detailsButton->setObjectName(QStringLiteral("cmdProblemDetails"));
    m_detailsButton->setCheckable(true);
    m_dismiss = new QPushButton(tr("Dis&miss"));
    m_dismiss->setObjectName(QStringLiteral("cmdProblemDismiss"));

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_summary);
    texts->addWidget(m_details);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(texts, 1);
    layout->addWidget(m_detailsButton, 0, Qt::AlignTop);
    layout->addWidget(m_dismiss, 0, Qt::AlignTop);

    setAccessibleName(tr("Problem"));
    setAccessibleDescription(tr("A problem that keeps coming back; the console keeps retrying"));
    m_summary->setAccessibleName(tr("Problem"));
    m_summary->setAccessibleDescription(tr("What went wrong, where, and since when"));
    m_details->setAccessibleName(tr("Technical details"));
    m_details->setAccessibleDescription(tr("The text the product reported"));
    m_detailsButton->setAccessibleName(tr("Details"));
    m_detailsButton->setAccessibleDescription(tr("Shows or hides the technical text"));
    m_detailsButton->setToolTip(tr("Show the technical text (Alt+D)"));
    m_dismiss->setAccessibleName(tr("Dismiss"));
    m_dismiss->setAccessibleDescription(
        tr("Hides this band; the console keeps retrying and shows it again for a new problem"));
    m_dismiss->setToolTip(tr("Hide this band (Alt+M)"));

    connect(m_detailsButton, &QPushButton::toggled, this, [this](bool on) {
        m_details->setVisible(on);
        Q_EMIT operatorAction(on ? QStringLiteral("Details shown")
                                 : QStringLiteral("Details hidden"));
    });
    connect(m_dismiss, &QPushButton::clicked, this, [this] {
        Q_EMIT operatorAction(QStringLiteral("Problem band dismissed"));
        hide();
    });
    hide();
}

void ProblemBanner::showProblem(const QString &summary, const QString &details)
{
    const bool wasHidden = isHidden();
    m_summary->setText(summary);
    m_details->setText(details);
    setAccessibleDescription(summary);
    m_summary->setAccessibleDescription(summary);
    show();
    if (wasHidden) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void ProblemBanner::clearProblem()
{
    m_detailsButton->setChecked(false);
    hide();
}

QString ProblemBanner::summary() const
{
    return m_summary->text();
}
QString ProblemBanner::details() const
{
    return m_details->text();
}
bool ProblemBanner::detailsShown() const
{
    return m_detailsButton->isChecked();
}

} // namespace VNOrvak

#include "host_window.h"

#include "entity_picker.h"
#include "event_log_pane.h"

#include "control/message_control.h"
#include "control/ole_date.h"

#include "shared/error.h"
#include "shared/prompter.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString boolText(bool b)
{
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

} // namespace

HostWindow::HostWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(tr("VN-Orvak Console"));

    m_picker = new EntityPicker;
    m_entityField = new QLineEdit;
    m_entityField->setObjectName(QStringLiteral("txtEntity"));
    m_entityField->setPlaceholderText(tr("Entity number, then Enter"));
    auto *entityBox = new QGroupBox(tr("Entities"));
    auto *entityLayout = new QVBoxLayout(entityBox);
    entityLayout->addWidget(m_picker);
    entityLayout->addWidget(m_entityField);

    m_control = new MessageControl;
    m_totals = new QLabel;
    m_totals->setObjectName(QStringLiteral("lblTotals"));
    auto *controlBox = new QGroupBox(tr("Messages"));
    auto *controlLayout = new QVBoxLayout(controlBox);
    controlLayout->addWidget(m_control, 0, Qt::AlignLeft);
    controlLayout->addWidget(m_totals);
    controlLayout->addStretch();

    m_log = new EventLogPane;
    auto *logBox = new QGroupBox(tr("Events"));
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(m_log);

    auto *top = new QHBoxLayout;
    top->addWidget(entityBox, 1);
    top->addWidget(controlBox, 0);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 3);
    layout->addWidget(logBox, 2);
    resize(760, 540);

    connect(m_control, &MessageControl::IDChanged, this,
            [this](const QString &id, bool &hasNew, const QString &code) {
                logIDChanged(id, hasNew, code);
            });
    connect(m_control, &MessageControl::MsgUpdated, this, &HostWindow::logMsgUpdated);
    connect(m_control, &MessageControl::FinishedPlayingNewMsg, this,
            &HostWindow::logFinishedPlayingNewMsg);
    connect(m_picker, &EntityPicker::entityPicked, this, &HostWindow::showEntity);
    connect(m_entityField, &QLineEdit::returnPressed, this, [this] {
        showEntity(m_entityField->text().trimmed());
        m_entityField->clear();
    });
    showTotals();
}

HostWindow::~HostWindow() = default;

bool HostWindow::start(const QString &programName)
{
    m_log->addEntry(u"InitializeForProgram " + quoted(programName));
    m_started = call(QStringLiteral("InitializeForProgram"),
                     [&] { m_control->InitializeForProgram(programName); });
    return m_started;
}

bool HostWindow::showEntity(const QString &id)
{
    m_log->addEntry(u"InitializeForID " + quoted(id));
    return call(QStringLiteral("InitializeForID"), [&] { m_control->InitializeForID(id); });
}

void HostWindow::shutdown()
{
    if (!m_started)
        return;
    m_started = false;
    // Terminate stops a playback in progress itself.
    m_log->addEntry(QStringLiteral("Terminate"));
    call(QStringLiteral("Terminate"), [&] { m_control->Terminate(); });
}

bool HostWindow::stopPlayback()
{
    // A message playing or paused: leaving without stopping would leave the call up.
    MessagePlayback &playback = m_control->playback();
    if (playback.state().phase == PlaybackState::Phase::Idle)
        return false;
    playback.stop();
    return true;
}

void HostWindow::closeEvent(QCloseEvent *event)
{
    shutdown();
    event->accept();
}

bool HostWindow::call(const QString &what, const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (...) {
        const Error e = modVNQRN::currentError();
        const QString text = what + u" failed: error " + QString::number(e.number()) + u" (" +
                             e.description() + u") at line " + QString::number(e.line()) + u" in " +
                             e.source();
        m_log->addEntry(text);
        modVNQRN::appPrompter().messageBox(text, modVNQRN::MsgBoxIcon::Critical, windowTitle());
        return false;
    }
}

void HostWindow::logIDChanged(const QString &id, bool hasNewMessages, const QString &code)
{
    m_log->addEntry(u"IDChanged id=" + quoted(id) + u" HasNewMessages=" + boolText(hasNewMessages) +
                    u" code=" + quoted(code));
    // New Msg, Previous and Next choose the entity themselves: follow them.
    m_picker->showEntity(id);
}

void HostWindow::logMsgUpdated()
{
    m_log->addEntry(u"MsgUpdated MsgCnt=" + QString::number(m_control->MsgCnt()) + u" NewMsgCnt=" +
                    QString::number(m_control->NewMsgCnt()) + u" MsgTodayCnt=" +
                    QString::number(m_control->MsgTodayCnt()) + u" LastMsgDate=" +
                    m_control->LastMsgDate().toString(kDateFormat));
    m_picker->showMessages(m_control->Messages());
    showTotals();
}

void HostWindow::logFinishedPlayingNewMsg()
{
    // The control marks the message heard in its list at once, and the next
    // poll finds no change to raise MsgUpdated for: refresh here.
    m_log->addEntry(u"FinishedPlayingNewMsg NewMsgCnt=" + QString::number(m_control->NewMsgCnt()));
    m_picker->showMessages(m_control->Messages());
    showTotals();
}

void HostWindow::showTotals()
{
    const QDateTime last = m_control->LastMsgDate();
    m_totals->setText(tr("%1 messages, %2 new, %3 today")
                          .arg(m_control->MsgCnt())
                          .arg(m_control->NewMsgCnt())
                          .arg(m_control->MsgTodayCnt()) +
                      u'\n' +
                      (last.isValid() && last != oleZeroDate()
                           ? tr("Last call %1").arg(last.toString(kDateFormat))
                           : tr("No calls yet")));
}

} // namespace VNOrvak

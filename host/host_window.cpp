#include "host_window.h"

#include "entity_picker.h"
#include "event_log_pane.h"
#include "message_facts.h"
#include "message_table.h"
#include "playback_panel.h"
#include "playback_watch.h"
#include "problem_banner.h"
#include "status_line.h"

#include "control/message_control.h"
#include "control/ole_date.h"

#include "shared/error.h"
#include "shared/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

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

QString plainCaption(QString caption)
{
    return caption.remove(u'&');
}

} // namespace

HostWindow::HostWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(tr("VN-Orvak Console"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(tr("Voice messages of the switchboard's entities"));

    m_banner = new ProblemBanner;

    m_picker = new EntityPicker;
    m_onlyNew = new QCheckBox(tr("Only entities with ne&w messages"));
    m_onlyNew->setObjectName(QStringLiteral("chkOnlyNew"));
    m_onlyNew->setAccessibleName(tr("Only entities with new messages"));
    m_onlyNew->setAccessibleDescription(tr("Hides the entities whose messages are all heard"));
    m_onlyNew->setToolTip(tr("Show only the entities with new messages (Alt+W)"));
    m_entityField = new QLineEdit;
    m_entityField->setObjectName(QStringLiteral("txtEntity"));
    m_entityField->setPlaceholderText(tr("Entity number, then Enter"));
    m_entityField->setAccessibleName(tr("Entity number"));
    m_entityField->setAccessibleDescription(
        tr("Type an entity's number and press Enter to show its messages"));
    m_entityField->setToolTip(tr("Type an entity's number, then Enter (Ctrl+F)"));
    auto *fieldLabel = new QLabel(tr("&Entity:"));
    fieldLabel->setObjectName(QStringLiteral("lblEntityField"));
    fieldLabel->setBuddy(m_entityField);
    auto *fieldRow = new QHBoxLayout;
    fieldRow->addWidget(fieldLabel);
    fieldRow->addWidget(m_entityField, 1);
    auto *entityBox = new QGroupBox(tr("Entities"));
    entityBox->setObjectName(QStringLiteral("grpEntities"));
    auto *entityLayout = new QVBoxLayout(entityBox);
    entityLayout->addWidget(m_onlyNew);
    entityLayout->addWidget(m_picker, 1);
    entityLayout->addLayout(fieldRow);

    m_control = new MessageControl;
    m_totals = new QLabel;
    m_totals->setObjectName(QStringLiteral("lblTotals"));
    m_totals->setAccessibleDescription(tr("The messages of the whole folder"));
    m_panel = new PlaybackPanel;
    m_table = new MessageTable;
    m_watch = new PlaybackWatch(*m_control, this);
    auto *controlRow = new QHBoxLayout;
    controlRow->addWidget(m_control, 0, Qt::AlignLeft | Qt::AlignTop);
    controlRow->addWidget(m_totals, 1, Qt::AlignTop);
    auto *controlBox = new QGroupBox(tr("Messages"));
    controlBox->setObjectName(QStringLiteral("grpMessages"));
    auto *controlLayout = new QVBoxLayout(controlBox);
    controlLayout->addLayout(controlRow);
    controlLayout->addWidget(m_panel);
    controlLayout->addWidget(m_table, 1);

    m_legend = new QLabel(tr("Keys: ") + keyLegend());
    m_legend->setObjectName(QStringLiteral("lblKeys"));
    m_legend->setWordWrap(true);
    m_legend->setAccessibleDescription(tr("The console's keys"));

    m_log = new EventLogPane;
    m_log->setAccessibleName(tr("Event log"));
    m_log->setAccessibleDescription(
        tr("Every call, event, box and operator action, with its time"));
    auto *logBox = new QGroupBox(tr("Events"));
    logBox->setObjectName(QStringLiteral("grpEvents"));
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(m_log);

    m_status = new StatusLine;

    auto *top = new QHBoxLayout;
    top->addWidget(entityBox, 2);
    top->addWidget(controlBox, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_banner);
    layout->addLayout(top, 3);
    layout->addWidget(m_legend);
    layout->addWidget(logBox, 2);
    layout->addWidget(m_status);
    resize(980, 700);

    setTabOrder(m_onlyNew, m_picker);
    setTabOrder(m_picker, m_entityField);

    connect(m_control, &MessageControl::IDChanged, this,
            [this](const QString &id, bool &hasNew, const QString &code) {
                logIDChanged(id, hasNew, code);
            });
    connect(m_control, &MessageControl::MsgUpdated, this, &HostWindow::logMsgUpdated);
    connect(m_control, &MessageControl::FinishedPlayingNewMsg, this,
            &HostWindow::logFinishedPlayingNewMsg);
    connect(m_picker, &EntityPicker::entityPicked, this, [this](const QString &id) {
        logOperator(u"Picked entity " + id + u" in the list");
        showEntity(id);
    });
    connect(m_entityField, &QLineEdit::returnPressed, this, [this] {
        const QString id = m_entityField->text().trimmed();
        m_entityField->clear();
        logOperator(u"Typed entity " + id);
        showEntity(id);
    });
    connect(m_onlyNew, &QCheckBox::toggled, this, [this](bool on) {
        logOperator(on ? QStringLiteral("Only entities with new messages: on")
                       : QStringLiteral("Only entities with new messages: off"));
        m_picker->setOnlyNew(on);
    });
    connect(m_watch, &PlaybackWatch::stateChanged, this, [this](const PlaybackState &s) {
        m_panel->showState(s);
        const QString words = u"Playback: " + playbackWords(s);
        if (words != m_lastPlaybackLine)
            m_log->addEntry(words);
        m_lastPlaybackLine = words;
        showEntityMessages();
    });
    connect(m_watch, &PlaybackWatch::elapsed, m_panel, &PlaybackPanel::showElapsed);
    // The operator's presses of the control's buttons, before they run.
    for (const char *name : {"cmdNewMsg", "cmdPrevMsg", "cmdPlayAll", "cmdNextMsg", "cmdPlayLast"})
        if (auto *b = m_control->findChild<QPushButton *>(QString::fromLatin1(name)))
            connect(b, &QPushButton::pressed, this,
                    [this, b] { logOperator(u"Pressed " + plainCaption(b->text())); });

    installKeys();
    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(2000);
    connect(m_statusTimer, &QTimer::timeout, this, &HostWindow::refreshStatus);
    m_statusTimer->start();
    showTotals();
    refreshStatus();
}

HostWindow::~HostWindow() = default;

void HostWindow::installKeys()
{
    for (const ConsoleKey &key : consoleKeys()) {
        for (const QKeySequence &seq : key.keys) {
            auto *shortcut = new QShortcut(seq, this);
            shortcut->setContext(Qt::WindowShortcut);
            const bool space = seq == QKeySequence(Qt::Key_Space);
            connect(shortcut, &QShortcut::activated, this, [this, key, seq, space] {
                // Space on a focused button still presses that button.
                auto *focused = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
                if (space && focused) {
                    focused->click();
                    return;
                }
                logOperator(u"Key " + seq.toString(QKeySequence::NativeText) + u": " + key.what);
                runCommand(key.command);
            });
        }
    }
}

void HostWindow::logOperator(const QString &what)
{
    m_log->addEntry(u"Operator: " + what);
}

bool HostWindow::start(const QString &programName)
{
    m_log->addEntry(u"InitializeForProgram " + quoted(programName));
    m_started = call(QStringLiteral("InitializeForProgram"),
                     [&] { m_control->InitializeForProgram(programName); });
    refreshStatus();
    return m_started;
}

void HostWindow::stopBefore(const QString &what, std::function<void()> next)
{
    m_watch->refresh();
    if (m_watch->active())
        m_log->addEntry(u"Stopping the playback before " + what);
    m_watch->stopThen(std::move(next));
}

bool HostWindow::showEntity(const QString &id)
{
    auto ok = std::make_shared<bool>(true);
    stopBefore(u"showing entity " + id, [this, id, ok, alive = QPointer<HostWindow>(this)] {
        if (!alive)
            return;
        m_log->addEntry(u"InitializeForID " + quoted(id));
        *ok = call(QStringLiteral("InitializeForID"), [&] { m_control->InitializeForID(id); });
    });
    return *ok;
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
    return m_watch->stop();
}

void HostWindow::clickControlButton(const char *name)
{
    auto *b = m_control->findChild<QPushButton *>(QString::fromLatin1(name));
    if (!b)
        return;
    if (!b->isEnabled()) {
        m_log->addEntry(plainCaption(b->text()) + u" is not available now");
        return;
    }
    b->click();
}

void HostWindow::runCommand(ConsoleCommand command)
{
    switch (command) {
    case ConsoleCommand::PlayPause:
        clickControlButton("cmdPlayAll");
        break;
    case ConsoleCommand::Stop:
        stopPlayback();
        break;
    case ConsoleCommand::NewMsg:
        stopBefore(QStringLiteral("New Msg"), [this] { clickControlButton("cmdNewMsg"); });
        break;
    case ConsoleCommand::Previous:
        stopBefore(QStringLiteral("Previous"), [this] { clickControlButton("cmdPrevMsg"); });
        break;
    case ConsoleCommand::Next:
        stopBefore(QStringLiteral("Next"), [this] { clickControlButton("cmdNextMsg"); });
        break;
    case ConsoleCommand::EntityField:
        m_entityField->setFocus(Qt::ShortcutFocusReason);
        m_entityField->selectAll();
        break;
    case ConsoleCommand::MessageTable:
        m_table->setFocus(Qt::ShortcutFocusReason);
        break;
    }
}

void HostWindow::closeEvent(QCloseEvent *event)
{
    logOperator(QStringLiteral("Closed the window"));
    // Terminate stops a playback itself, without waiting for an idle line.
    m_watch->refresh();
    if (m_watch->active())
        m_log->addEntry(QStringLiteral("Stopping the playback before closing"));
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
    showEntityMessages();
}

void HostWindow::logMsgUpdated()
{
    m_log->addEntry(u"MsgUpdated MsgCnt=" + QString::number(m_control->MsgCnt()) + u" NewMsgCnt=" +
                    QString::number(m_control->NewMsgCnt()) + u" MsgTodayCnt=" +
                    QString::number(m_control->MsgTodayCnt()) + u" LastMsgDate=" +
                    m_control->LastMsgDate().toString(kDateFormat));
    m_picker->showMessages(m_control->Messages());
    showTotals();
    showEntityMessages();
}

void HostWindow::logFinishedPlayingNewMsg()
{
    // The control marks the message heard in its list at once, and the next
    // poll finds no change to raise MsgUpdated for: refresh here.
    m_log->addEntry(u"FinishedPlayingNewMsg NewMsgCnt=" + QString::number(m_control->NewMsgCnt()));
    m_picker->showMessages(m_control->Messages());
    showTotals();
    showEntityMessages();
}

void HostWindow::showEntityMessages()
{
    const MessageStore &store = m_control->core().store();
    m_table->showMessages(entityMessages(m_control->Messages(), store.msEntityID, store.msMsgDir));
    const PlaybackState &s = m_watch->state();
    m_table->setPlaying(
        s.phase != PlaybackState::Phase::Idle && s.entity == store.msEntityID ? s.position : 0);
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

void HostWindow::refreshStatus()
{
    const StatusFacts facts = readStatus(*m_control, m_started, m_phoneAddress);
    m_status->showFacts(facts);
    if (facts.folderState != m_folderState && m_started) {
        m_folderState = facts.folderState;
        m_log->addEntry(facts.folder);
    }
    m_picker->setStale(facts.folderState == FolderState::Missing ||
                       facts.folderState == FolderState::Unreadable);
    if (facts.folderState == FolderState::Found)
        Q_EMIT folderFine(m_control->core().store().msMsgDir);
}

} // namespace VNOrvak

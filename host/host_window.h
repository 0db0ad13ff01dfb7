#pragma once

#include "console_keys.h"
#include "status_line.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace VNOrvak
{

class EntityPicker;
class EventLogPane;
class MessageControl;
class MessageTable;
class PlaybackPanel;
class PlaybackWatch;
class ProblemBanner;

/// The sample host: a switchboard console's window with the entities of the
/// messages folder, the message control, the selected entity's messages, what
/// plays now, the folder's totals, a status line and a log of every event the
/// control raises and every operator action. It drives the control as a real
/// host does: InitializeForProgram at start, InitializeForID when the operator
/// picks an entity, Terminate when the window closes. A playback running when
/// the operator moves to another entity, presses New Msg, Previous or Next by
/// key, or closes the window is stopped first. A call that fails is shown to
/// the operator (through modVNQRN::appPrompter()) and logged; the window goes on.
class HostWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HostWindow(QWidget *parent = nullptr);
    ~HostWindow() override;

    /// Starts the control for `programName`. False when the call failed.
    bool start(const QString &programName);
    /// Shows the entity `id` (as the operator typed or picked it). A playback
    /// is stopped first, and the entity is shown once it has returned (within
    /// milliseconds; playback().stopping() meanwhile). False when the call
    /// failed.
    bool showEntity(const QString &id);
    /// Stops a playback in progress or paused, as the operator's click on
    /// Stop would. False when nothing was playing.
    bool stopPlayback();
    /// Gives the message line free (Terminate, which also ends a playback in
    /// progress). Runs when the window closes; harmless twice.
    void shutdown();
    /// Runs a console key's command, as the key does.
    void runCommand(ConsoleCommand command);
    /// The route shown in the status line when --phone chose it.
    void setPhoneAddress(const QString &address) { m_phoneAddress = address; }
    /// Reads the status line's facts again (a timer does it every 2 s).
    void refreshStatus();

    MessageControl &control() { return *m_control; }
    EntityPicker &picker() { return *m_picker; }
    EventLogPane &eventLog() { return *m_log; }
    MessageTable &messageTable() { return *m_table; }
    PlaybackWatch &playback() { return *m_watch; }
    PlaybackPanel &playbackPanel() { return *m_panel; }
    ProblemBanner &banner() { return *m_banner; }
    StatusLine &statusLine() { return *m_status; }
    QCheckBox &onlyNewFilter() { return *m_onlyNew; }

Q_SIGNALS:
    /// The messages folder `folder` was found readable and writable.
    void folderFine(const QString &folder);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Runs one call of the control; a failure is shown and logged.
    bool call(const QString &what, const std::function<void()> &body);
    void logIDChanged(const QString &id, bool hasNewMessages, const QString &code);
    void logMsgUpdated();
    void logFinishedPlayingNewMsg();
    void showTotals();
    void showEntityMessages();
    // Runs `next` at once, or after stopping a playback and its return.
    void stopBefore(const QString &what, std::function<void()> next);
    void clickControlButton(const char *name);
    void installKeys();
    void describeControl();
    void logOperator(const QString &what);

    MessageControl *m_control = nullptr;
    EntityPicker *m_picker = nullptr;
    QLineEdit *m_entityField = nullptr;
    QCheckBox *m_onlyNew = nullptr;
    QLabel *m_totals = nullptr;
    QLabel *m_legend = nullptr;
    MessageTable *m_table = nullptr;
    PlaybackWatch *m_watch = nullptr;
    PlaybackPanel *m_panel = nullptr;
    ProblemBanner *m_banner = nullptr;
    StatusLine *m_status = nullptr;
    EventLogPane *m_log = nullptr;
    QTimer *m_statusTimer = nullptr;
    QString m_phoneAddress;
    QString m_lastPlaybackLine;
    FolderState m_folderState = FolderState::Unknown;
    bool m_started = false;
};

} // namespace VNOrvak

#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

namespace VNOrvak
{

class EntityPicker;
class EventLogPane;
class MessageControl;

/// The sample host: a switchboard console's window with the entities of the
/// messages folder, the message control, the folder's totals and a log of
/// every event the control raises. It drives the control as a real host
/// does: InitializeForProgram at start, InitializeForID when the operator
/// picks an entity, Terminate when the window closes. A call that fails is
/// shown to the operator (through modVNQRN::appPrompter()) and logged; the
/// window goes on.
class HostWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HostWindow(QWidget *parent = nullptr);
    ~HostWindow() override;

    /// Starts the control for `programName`. False when the call failed.
    bool start(const QString &programName);
    /// Shows the entity `id` (as the operator typed or picked it). False
    /// when the call failed.
    bool showEntity(const QString &id);
    /// Stops a playback in progress or paused, as the operator's click on
    /// Stop would. False when nothing was playing.
    bool stopPlayback();
    /// Gives the message line free (Terminate, which also ends a playback in
    /// progress). Runs when the window closes; harmless twice.
    void shutdown();

    MessageControl &control() { return *m_control; }
    EntityPicker &picker() { return *m_picker; }
    EventLogPane &eventLog() { return *m_log; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Runs one call of the control; a failure is shown and logged.
    bool call(const QString &what, const std::function<void()> &body);
    void logIDChanged(const QString &id, bool hasNewMessages, const QString &code);
    void logMsgUpdated();
    void logFinishedPlayingNewMsg();
    void showTotals();

    MessageControl *m_control = nullptr;
    EntityPicker *m_picker = nullptr;
    QLineEdit *m_entityField = nullptr;
    QLabel *m_totals = nullptr;
    EventLogPane *m_log = nullptr;
    bool m_started = false;
};

} // namespace VNOrvak

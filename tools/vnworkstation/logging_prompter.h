#pragma once

#include "shared/prompter.h"

class EventLog;

/// A prompter for an unattended workstation: every message box is written to
/// the event log ("box", with its text, icon and title) and closed at once,
/// so nothing ever waits for an operator.
class LoggingPrompter final : public modVNQRN::Prompter
{
public:
    explicit LoggingPrompter(EventLog &log);
    ~LoggingPrompter() override;

    void messageBox(const QString &text, modVNQRN::MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(modVNQRN::MousePointer) override {}

    int boxes() const { return m_boxes; }

private:
    EventLog &m_log;
    int m_boxes = 0;
};

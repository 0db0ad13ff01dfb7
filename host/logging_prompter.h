#pragma once

#include "shared/prompter.h"

namespace VNOrvak
{

class EventLogPane;

/// Shows the control's message boxes as entries of the event log (and on
/// standard error) instead of modal boxes, so an unattended run never waits
/// for somebody to press OK. Installs itself while alive.
class LoggingPrompter final : public modVNQRN::Prompter
{
public:
    explicit LoggingPrompter(EventLogPane &log);
    ~LoggingPrompter() override;

    void messageBox(const QString &text, modVNQRN::MsgBoxIcon icon, const QString &title) override;
    void setMousePointer(modVNQRN::MousePointer) override {}

private:
    EventLogPane &m_log;
};

} // namespace VNOrvak

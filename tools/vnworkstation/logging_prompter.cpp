#include "logging_prompter.h"

#include "event_log.h"

LoggingPrompter::LoggingPrompter(EventLog &log) : m_log(log)
{
    modVNQRN::setAppPrompter(this);
}

LoggingPrompter::~LoggingPrompter()
{
    modVNQRN::setAppPrompter(nullptr);
}

void LoggingPrompter::messageBox(const QString &text, modVNQRN::MsgBoxIcon icon,
                                 const QString &title)
{
    ++m_boxes;
    m_log.write(QStringLiteral("box"), {{QStringLiteral("text"), text},
                                        {QStringLiteral("icon"), static_cast<int>(icon)},
                                        {QStringLiteral("title"), title}});
}

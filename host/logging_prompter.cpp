#include "logging_prompter.h"

#include "event_log_pane.h"

#include <cstdio>

namespace VNOrvak
{

LoggingPrompter::LoggingPrompter(EventLogPane &log) : m_log(log)
{
    modVNQRN::setAppPrompter(this);
}

LoggingPrompter::~LoggingPrompter()
{
    modVNQRN::setAppPrompter(nullptr);
}

void LoggingPrompter::messageBox(const QString &text, modVNQRN::MsgBoxIcon, const QString &title)
{
    const QString entry = u"Message box \"" +
                          (title.isEmpty() ? QString::fromUtf16(modVNQRN::kDefaultTitle) : title) +
                          u"\": " + text;
    m_log.addEntry(entry);
    std::fprintf(stderr, "%s\n", qPrintable(entry));
}

} // namespace VNOrvak

#include "event_log_pane.h"

#include "shared/clock.h"

#include <QFontDatabase>

namespace VNOrvak
{

EventLogPane::EventLogPane(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("txtEventLog"));
    setReadOnly(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setMaximumBlockCount(5000);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

void EventLogPane::addEntry(const QString &text)
{
    m_entries << text;
    const QString line =
        modVNQRN::appClock().now().toString(QStringLiteral("HH:mm:ss.zzz")) + u"  " + text;
    appendPlainText(line);
    Q_EMIT entryAdded(line);
}

} // namespace VNOrvak

#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace VNOrvak
{

/// The host's log of what happened, one line per entry with its time of day.
class EventLogPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit EventLogPane(QWidget *parent = nullptr);

    /// Appends `text` with the time of day (from modVNQRN::appClock()).
    void addEntry(const QString &text);
    /// The entries so far, without their times, oldest first.
    const QStringList &entries() const { return m_entries; }

Q_SIGNALS:
    void entryAdded(const QString &line);

private:
    QStringList m_entries;
};

} // namespace VNOrvak

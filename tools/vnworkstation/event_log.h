#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>

/// The workstation's machine-readable log: one JSON object per line, each
/// with the machine's true wall-clock time in milliseconds ("t", never a
/// faked clock), the workstation ("ws") and the kind of event ("ev"). Every line is flushed as it
/// is written, so a reader sees it at once and a crash loses nothing already logged.
class EventLog
{
public:
    /// Appends to `path` ("-" is standard output).
    EventLog(const QString &path, const QString &workstation);

    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    void write(const QString &event, QJsonObject fields = {});

private:
    QFile m_file;
    QString m_workstation;
};

/// The process's resident memory in KiB (0 when it cannot be read).
qint64 residentKiB();

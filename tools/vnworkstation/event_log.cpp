#include "event_log.h"

#include <QDateTime>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

EventLog::EventLog(const QString &path, const QString &workstation) : m_workstation(workstation)
{
    if (path == u"-") {
        (void)m_file.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    } else {
        m_file.setFileName(path);
        (void)m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
}

void EventLog::write(const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("t"), QDateTime::currentMSecsSinceEpoch());
    fields.insert(QStringLiteral("ws"), m_workstation);
    fields.insert(QStringLiteral("ev"), event);
    // One write per line: lines of concurrent writers never interleave.
    m_file.write(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
}

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields[1].toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

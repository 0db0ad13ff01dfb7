#include "event_log.h"

#include <QDateTime>
#include <QJsonDocument>

#include <cstdio>
#include <ctime>
#include <sys/syscall.h>
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

namespace
{

// The machine's true time: asked of the kernel itself, so that a library
// that fakes the process's clock (a soak steps it) leaves the log's time
// stamps comparable with the other workstations'.
qint64 trueMSecsSinceEpoch()
{
    timespec now{};
    if (syscall(SYS_clock_gettime, CLOCK_REALTIME, &now) != 0)
        return QDateTime::currentMSecsSinceEpoch();
    return static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

void EventLog::write(const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("t"), trueMSecsSinceEpoch());
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

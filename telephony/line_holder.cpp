#include "line_holder.h"

#include "shared/profile.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

using namespace modVNQRN;

namespace VNOrvakTelephony
{

namespace
{

const QString kMessages = QStringLiteral("Messages");
const QString kProgram = QStringLiteral("MsgPortUsage");
const QString kHost = QStringLiteral("MsgPortUsageHost");
const QString kPid = QStringLiteral("MsgPortUsagePid");
const QString kBoot = QStringLiteral("MsgPortUsageBoot");
const QString kStarted = QStringLiteral("MsgPortUsageStart");

QByteArray readSmallFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
}

QString bootId()
{
    return QString::fromLatin1(readSmallFile(QStringLiteral("/proc/sys/kernel/random/boot_id")))
        .trimmed();
}

// Fields of /proc/<pid>/stat after the command name, which may itself hold
// blanks and parentheses: the state is the first, the start time the 20th.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray stat = readSmallFile(u"/proc/" + QString::number(pid) + u"/stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    return stat.mid(close + 1).simplified().split(' ');
}

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    // A killed process that its parent has not yet reaped still answers kill().
    const QList<QByteArray> fields = statFields(pid);
    return fields.isEmpty() || (fields[0] != "Z" && fields[0] != "X");
}

} // namespace

QString processStartTime(qint64 pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return fields.size() > 19 ? QString::fromLatin1(fields[19]) : QString();
}

LineHolder thisProcessHolder(const QString &program)
{
    const qint64 pid = ::getpid();
    return {program, QSysInfo::machineHostName(), pid, bootId(), processStartTime(pid)};
}

LineHolder readLineHolder(const QString &ini)
{
    const auto read = [&](const QString &key) {
        return ReadProfileString(kMessages, key, QString(), ini);
    };
    LineHolder holder;
    holder.program = read(kProgram);
    holder.host = read(kHost);
    holder.pid = read(kPid).toLongLong();
    holder.bootId = read(kBoot);
    holder.started = read(kStarted);
    return holder;
}

int writeLineHolder(const LineHolder &holder, const QString &ini)
{
    return WriteProfileStrings(kMessages,
                               {{kProgram, holder.program},
                                {kHost, holder.host},
                                {kPid, holder.pid > 0 ? QString::number(holder.pid) : QString()},
                                {kBoot, holder.bootId},
                                {kStarted, holder.started}},
                               ini);
}

int releaseLine(const QString &ini)
{
    return writeLineHolder(LineHolder{}, ini);
}

bool holderIsGone(const LineHolder &holder)
{
    if (holder.program.isEmpty() || holder.pid <= 0 || holder.host.isEmpty() ||
        holder.host != QSysInfo::machineHostName())
        return false;
    const QString boot = bootId();
    if (!holder.bootId.isEmpty() && !boot.isEmpty() && holder.bootId != boot)
        return true; // the machine has restarted since: every process of then is gone
    if (!processRuns(holder.pid))
        return true;
    // The id may have gone to another process since.
    const QString started = processStartTime(holder.pid);
    return !holder.started.isEmpty() && !started.isEmpty() && started != holder.started;
}

} // namespace VNOrvakTelephony

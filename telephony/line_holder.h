#pragma once

#include <QString>

namespace VNOrvakTelephony
{

/// Who holds the workstation's message line: the "MsgPortUsage" entry of
/// section "Messages" (the program's name, which the busy box shows) and,
/// beside it, the host, process and boot of the process that claimed it, so
/// that a claim left behind by a process that has died can be told from a
/// live one.
struct LineHolder {
    QString program; ///< "MsgPortUsage": empty when the line is free
    QString host;    ///< "MsgPortUsageHost": the machine's host name
    qint64 pid = 0;  ///< "MsgPortUsagePid"
    QString bootId;  ///< "MsgPortUsageBoot": the kernel's boot id
    QString started; ///< "MsgPortUsageStart": the process's start time, in clock ticks since boot

    bool operator==(const LineHolder &) const = default;
};

/// This process as the holder of the line for `program`.
LineHolder thisProcessHolder(const QString &program);

/// The holder recorded in the settings file `ini` (empty program: free).
LineHolder readLineHolder(const QString &ini);

/// Records `holder` in `ini` in one write; nonzero on success.
int writeLineHolder(const LineHolder &holder, const QString &ini);

/// Frees the line: every key written empty in one write.
int releaseLine(const QString &ini);

/// True when the holder's claim is certainly stale: it was made on this host
/// by a process that no longer runs (another boot, no such process, a
/// zombie, or another process that has since taken its id). A claim from
/// another host, or one without a process id (written by a program that
/// does not record one), is never taken as stale.
bool holderIsGone(const LineHolder &holder);

/// The start time of process `pid` in clock ticks since boot, or empty text
/// when there is no such process.
QString processStartTime(qint64 pid);

} // namespace VNOrvakTelephony

#include "command.h"
#include "installation.h"
#include "message_table.h"

#include "control/message_file_system.h"
#include "shared/modVNQRN.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <ctime>

using namespace Qt::StringLiterals;

using namespace VNOrvak;

namespace
{

enum class Removal { Removed, Gone, Changed, Failed };

struct RemovalResult {
    RemovalResult(Removal o, int e = 0) : outcome(o), error(e) {}

    Removal outcome = Removal::Failed;
    int error = 0;
    QString leftAs; // a parked file that could not be put back
};

// This process's parking name for `name`: like the marks' ("NAME.heard-...")
// but its own word, so that no poll takes it for a mark to finish.
QString purgeParkingName(const QString &name)
{
    static int count = 0;
    QString host;
    for (const QChar c : QSysInfo::machineHostName().left(24))
        host += (c.isLetterOrNumber() && c.unicode() < 128) ? c : u'-';
    return name + u".purge-" + host + u'-' + QString::number(QCoreApplication::applicationPid()) +
           u'-' + QString::number(++count) + u".vox";
}

// Removes the message `name` if the file under its name is still the one
// judged old (`seen`). The file is first renamed to a name of this process:
// the server lets one rename win, so a workstation marking the message at
// that instant either has it already (the purge finds it gone) or finds it
// gone itself ("removed by the purge process"). Only the parked file, checked
// again, is removed; one that changed meanwhile goes back under its name.
RemovalResult removeMessage(const QString &folder, const MessageRow &seen, qint64 cutoff)
{
    MessageFileSystem &fs = messageFileSystem();
    const QString name = seen.nameText();
    const QString path = folder + name + u".vox";
    const QString parked = folder + purgeParkingName(name);
    if (const int e = fs.rename(path, parked))
        return {e == ENOENT ? Removal::Gone : Removal::Failed, e};
    FileFacts now;
    const int s = fs.stat(parked, now);
    const bool same = s == 0 && now.size == seen.size && now.mtimeNs / 1000000000 < cutoff &&
                      now.mtimeNs / 1000000000 == seen.modifiedSecs;
    RemovalResult result{Removal::Changed};
    if (same) {
        const int e = fs.unlink(parked);
        if (e == 0)
            return {Removal::Removed};
        result = RemovalResult(Removal::Failed, e);
    }
    // Back under its name, never over another file.
    int back = fs.renameNoReplace(parked, path);
    if (back == EINVAL || back == ENOSYS) {
        FileFacts taken;
        back = fs.stat(path, taken) == ENOENT ? fs.rename(parked, path) : EEXIST;
    }
    if (back != 0)
        result.leftAs = parked.mid(folder.size());
    return result;
}

QString callDate(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

int runPurgeCommand(const VnmsgArgs &args)
{
    const Installation installation = findInstallation();
    QString folder;
    if (const int rc =
            messagesFolderFor(QStringLiteral("purge"), args.folder, installation, folder))
        return rc;
    MessageTable table;
    QString error;
    if (!readMessageTable(folder, table, error)) {
        printError(u"purge: cannot read " + folder + u": " + error);
        return kExitFailed;
    }
    // Whole days back from now, on the wall clock: the call dates are dates.
    const qint64 cutoff =
        modVNQRN::appClock().now().toSecsSinceEpoch() - qint64(args.olderThanDays) * 86400;
    int removed = 0;
    int kept = 0;
    bool failed = false;
    for (const MessageRow &row : table.messages) {
        if ((row.isNew() && !args.includeNew) || row.modifiedSecs >= cutoff)
            continue;
        const QString what = row.nameText() + u" (" + (row.isNew() ? u"new"_s : u"heard"_s) +
                             u", called " + callDate(row.modifiedSecs) + u", " +
                             QString::number(row.size) + u" bytes)";
        if (args.dryRun) {
            printLine(u"would remove " + what);
            ++removed;
            continue;
        }
        const RemovalResult result = removeMessage(folder, row, cutoff);
        switch (result.outcome) {
        case Removal::Removed:
            printLine(u"removed " + what);
            modVNQRN::WriteLog(u"vnmsg purge removed " + folder + row.nameText() + u".vox (" +
                               (row.isNew() ? u"new"_s : u"heard"_s) + u", called " +
                               callDate(row.modifiedSecs) + u')');
            ++removed;
            break;
        case Removal::Gone:
            printLine(u"gone already " + row.nameText() + u" (marked or removed meanwhile)");
            break;
        case Removal::Changed:
            printLine(u"kept " + row.nameText() + u": it changed since it was looked at" +
                      (result.leftAs.isEmpty() ? QString() : u"; it is left as " + result.leftAs));
            ++kept;
            failed = failed || !result.leftAs.isEmpty();
            break;
        case Removal::Failed:
            printLine(u"kept " + row.nameText() + u": " +
                      QString::fromLocal8Bit(std::strerror(result.error)) +
                      (result.leftAs.isEmpty() ? QString() : u"; it is left as " + result.leftAs));
            failed = true;
            ++kept;
            break;
        }
        std::fflush(stdout);
    }
    printLine((args.dryRun ? u"Would remove "_s : u"Removed "_s) + QString::number(removed) +
              u" message(s), kept " + QString::number(kept) + u" (older than " +
              QString::number(args.olderThanDays) + u" days: before " + callDate(cutoff) + u')');
    return failed ? kExitFailed : kExitOk;
}

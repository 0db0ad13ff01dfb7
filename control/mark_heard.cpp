#include "message_control_core.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

bool messageFileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

// The error number of a failed rename, from what the file system said rather
// than from a second look: a network folder's cache may still show a file
// that another workstation has just renamed.
qint32 renameErrorNumber(int error)
{
    switch (error) {
    case ENOENT:
        return modVNQRN::errFileNotFound;
    case EEXIST:
    case ENOTEMPTY:
        return modVNQRN::errFileExists;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
        return modVNQRN::errPermissionDenied;
    default:
        return modVNQRN::errPathFileAccess;
    }
}

[[noreturn]] void renameFailed(const QString &from, const QString &to, int error)
{
    throw Error(renameErrorNumber(error), u"Cannot rename " + from + u" to " + to + u": " +
                                              QString::fromLocal8Bit(std::strerror(error)));
}

// One rename in the file system, never a copy: QFile::rename falls back to
// link-and-unlink or to copying when the plain rename fails, and on a shared
// folder either lets another workstation see, and act on, both names at once.
// Without `replace` the rename never replaces a file. A file system that
// cannot refuse to replace in the same step (most network folders) gets a
// look first; what can appear in between under the heard name is only this
// message's own heard copy.
void renameMessageFile(const QString &from, const QString &to, bool replace)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (!replace) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return;
        if (errno != EINVAL && errno != ENOSYS)
            renameFailed(from, to, errno);
        struct stat st;
        if (::lstat(target.constData(), &st) == 0)
            renameFailed(from, to, EEXIST);
    }
    if (::rename(source.constData(), target.constData()) != 0)
        renameFailed(from, to, errno);
}

} // namespace

void MessageControlCore::MarkHeard(const QString &sName)
{
    if (sName.startsWith(u'M')) {
        Q_EMIT MarkedHeard(sName, HeardOutcome::AlreadyHeard);
        return;
    }
    HeardOutcome outcome = HeardOutcome::Renamed;
    try {
        const QString heard = MessageStore::HeardName(sName);
        const QString newFile = m_store.msMsgDir + sName + u".vox";
        const QString heardFile = m_store.msMsgDir + heard + u".vox";
        if (messageFileExists(heardFile)) {
            if (!messageFileExists(newFile)) {
                modVNQRN::MsgBox(
                    QStringLiteral("This message has been played on another workstation"));
                m_store.MarkHeardInList(sName);
                Q_EMIT MarkedHeard(sName, HeardOutcome::HeardElsewhere);
                return;
            }
            // A stale heard copy: the message just played takes its place in
            // one rename, so no moment passes without the message under either
            // name, and a new file that is in fact gone leaves the copy alone.
            renameMessageFile(newFile, heardFile, true);
            outcome = HeardOutcome::ReplacedStale;
        } else if (!messageFileExists(newFile)) {
            modVNQRN::MsgBox(QStringLiteral("This message has been removed by the purge process"));
            outcome = HeardOutcome::Purged;
        } else {
            renameMessageFile(newFile, heardFile, false);
        }
        m_store.MarkHeardInList(sName);
    } catch (...) {
        modVNQRN::ReportError(modVNQRN::currentError(), QString());
        outcome = HeardOutcome::Failed;
    }
    Q_EMIT MarkedHeard(sName, outcome);
}

} // namespace VNOrvak

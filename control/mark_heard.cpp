#include "message_control_core.h"

#include "heard_rename.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <cerrno>
#include <cstring>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

// The error number of a failed mark, from what the file system said rather
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

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void MessageControlCore::MarkHeard(const QString &sName)
{
    MarkHeard(sName, FileFacts());
}

void MessageControlCore::MarkHeard(const QString &sName, const FileFacts &played)
{
    if (sName.startsWith(u'M')) {
        Q_EMIT MarkedHeard(sName, HeardOutcome::AlreadyHeard);
        return;
    }
    HeardOutcome outcome = HeardOutcome::Failed;
    try {
        const QString heard = MessageStore::HeardName(sName);
        const QString &dir = m_store.msMsgDir;
        const HeardMoveResult moved = moveToHeardName(dir, sName, heard, played);
        if (!moved.parked.isEmpty())
            modVNQRN::WriteLog(u"Message " + sName + u" is parked as " + dir + moved.parked +
                               u"; the next polls put it back");
        switch (moved.outcome) {
        case HeardMove::Renamed:
            outcome = HeardOutcome::Renamed;
            m_store.MarkHeardInList(sName);
            break;
        case HeardMove::HeardElsewhere:
            modVNQRN::MsgBox(QStringLiteral("This message has been played on another workstation"));
            m_store.MarkHeardInList(sName);
            outcome = HeardOutcome::HeardElsewhere;
            break;
        case HeardMove::Gone:
            modVNQRN::MsgBox(QStringLiteral("This message has been removed by the purge process"));
            m_store.MarkHeardInList(sName);
            outcome = HeardOutcome::Purged;
            break;
        case HeardMove::NewerCopy:
            // The message played went on to its heard name elsewhere (or was
            // purged); the newer one under its new name has not been heard.
            modVNQRN::WriteLog(u"Message " + dir + sName +
                               u".vox was replaced by a newer recording while it played; "
                               u"the newer one stays new");
            outcome = HeardOutcome::NewerCopyKept;
            break;
        case HeardMove::HeardNameTaken:
            modVNQRN::WriteLog(u"Message " + dir + sName + u".vox stays new: its heard name " +
                               heard + u" is taken by another message");
            modVNQRN::MsgBox(u"This message cannot be marked as heard: another message "
                             u"already has its heard name " +
                                 heard + u".\r\nIt stays new.",
                             modVNQRN::MsgBoxIcon::Exclamation);
            outcome = HeardOutcome::HeardNameTaken;
            break;
        case HeardMove::Busy:
            // Another workstation holds the file open, playing it: it marks
            // the message when it is done.
            modVNQRN::WriteLog(u"Message " + dir + sName +
                               u".vox stays new for now: it is in use elsewhere");
            outcome = HeardOutcome::InUse;
            break;
        case HeardMove::Failed:
            throw Error(renameErrorNumber(moved.error), u"Cannot rename " + dir + sName +
                                                            u".vox to " + dir + heard + u".vox: " +
                                                            systemText(moved.error));
        }
    } catch (...) {
        modVNQRN::ReportError(modVNQRN::currentError(), QString());
        outcome = HeardOutcome::Failed;
    }
    Q_EMIT MarkedHeard(sName, outcome);
}

} // namespace VNOrvak

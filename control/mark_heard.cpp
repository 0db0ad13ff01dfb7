#include "message_control_core.h"

#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/prompter.h"

#include <QFile>
#include <QFileInfo>

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

void removeMessageFile(const QString &path)
{
    QFile file(path);
    if (!file.remove())
        throw Error(messageFileExists(path) ? modVNQRN::errPermissionDenied
                                            : modVNQRN::errFileNotFound,
                    u"Cannot delete " + path + u": " + file.errorString());
}

// The rename never replaces a file: when another workstation gave the message
// its heard name in between, the rename fails and is reported.
void renameMessageFile(const QString &from, const QString &to)
{
    QFile file(from);
    if (file.rename(to))
        return;
    const int number = messageFileExists(to)      ? modVNQRN::errFileExists
                       : !messageFileExists(from) ? modVNQRN::errFileNotFound
                                                  : modVNQRN::errPathFileAccess;
    throw Error(number, u"Cannot rename " + from + u" to " + to + u": " + file.errorString());
}

} // namespace

void MessageControlCore::MarkHeard(const QString &sName)
{
    if (sName.startsWith(u'M'))
        return;
    try {
        const QString heard = MessageStore::HeardName(sName);
        const QString newFile = m_store.msMsgDir + sName + u".vox";
        const QString heardFile = m_store.msMsgDir + heard + u".vox";
        if (messageFileExists(heardFile)) {
            if (!messageFileExists(newFile)) {
                modVNQRN::MsgBox(
                    QStringLiteral("This message has been played on another workstation"));
                m_store.MarkHeardInList(sName);
                return;
            }
            // A stale heard copy: the message just played takes its place.
            removeMessageFile(heardFile);
        }
        if (!messageFileExists(newFile))
            modVNQRN::MsgBox(QStringLiteral("This message has been removed by the purge process"));
        else
            renameMessageFile(newFile, heardFile);
        m_store.MarkHeardInList(sName);
    } catch (...) {
        modVNQRN::ReportError(modVNQRN::currentError(), QString());
    }
}

} // namespace VNOrvak

#include "command.h"

#include "control/entity_summary.h"
#include "control/message_control_core.h"
#include "control/ole_date.h"

#include "shared/modVNQRN.h"

using namespace modVNQRN;
using VNOrvak::MessageControlCore;

namespace
{

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// "Today" as the administrator asked for it.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return 0; }
    void sleepMs(int) override {}

private:
    QDateTime m_now;
};

// Runs one poll on a fresh control over the folder. 0, or the exit code (with
// the reason on standard error) when the folder is missing or cannot be read.
int scanFolder(const QString &command, const VnmsgArgs &options, MessageControlCore &core)
{
    const QString folder = withTrailingSeparator(options.folder);
    try {
        // Opened only: the poll below is the one listing of the folder.
        if (!core.folderReader().canOpen(folder)) {
            printError(command + u": the messages folder " + folder +
                       u" does not exist or is not a folder");
            return kExitMissing;
        }
    } catch (const Error &e) {
        printError(command + u": cannot read " + folder + u": " + e.description());
        return kExitFailed;
    }
    try {
        // The error log goes where this workstation keeps it.
        InitEnvironment(QStringLiteral("VN"));
    } catch (const Error &) {
    }
    core.setTimerEnabled(false);
    core.store().msMsgDir = folder;
    core.tmrCalls_Timer();
    core.setTimerEnabled(false);
    // Said on standard error as the control's box: a share not mounted, say.
    return core.folderOutage() ? kExitMissing : kExitOk;
}

// A file name on one line: control characters as \xHH.
QString printableName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

int runScanCommand(const VnmsgArgs &options)
{
    FixedClock clock(options.now.isValid() ? options.now : QDateTime::currentDateTime());
    setAppClock(&clock);
    MessageControlCore core;
    const int scanned = scanFolder(QStringLiteral("scan"), options, core);
    setAppClock(nullptr);
    if (scanned != kExitOk)
        return scanned;

    const VNOrvak::MessageStore &store = core.store();
    printLine(u"Messages=" + store.msMsgList);
    printLine(u"MsgCnt=" + QString::number(store.mlMsgCnt));
    printLine(u"NewMsgCnt=" + QString::number(store.mlNewMsgCnt));
    printLine(u"MsgTodayCnt=" + QString::number(store.mlMsgTodayCnt));
    printLine(u"LastMsgDate=" + store.mdLastMsgDate.toString(kDateFormat));
    // Files the patterns take whose names are no message names: listed apart
    // for the administrator to rename or remove.
    printLine(u"OtherNames=" + QString::number(store.otherFiles.size()));
    for (const QString &name : store.otherFiles)
        printLine(u"Other " + printableName(name));
    for (const QString &id : options.entities) {
        core.InitializeForID(id);
        printLine(u"Entity " + store.msEntityID + u" List=" + store.msEntityList + u" Count=" +
                  QString::number(store.mlEntityMsgCnt) + u" HasMsgs=" +
                  (store.mbHasEntityMsgs ? u'1' : u'0') + u" HasNew=" +
                  (store.mbHasEntityNewMsgs ? u'1' : u'0'));
    }
    return 0;
}

int runEntitiesCommand(const VnmsgArgs &options)
{
    MessageControlCore core;
    if (const int rc = scanFolder(QStringLiteral("entities"), options, core))
        return rc;

    const VNOrvak::EntitySummary summary = VNOrvak::summarizeEntities(core.store().msMsgList);
    printLine(QStringLiteral("Entity     Messages      New    Heard"));
    for (const VNOrvak::EntityMessages &entity : summary.entities)
        printLine(entity.id + QString::number(entity.messages).rightJustified(11) +
                  QString::number(entity.newMessages).rightJustified(9) +
                  QString::number(entity.heard()).rightJustified(9));
    printLine(u"Entities=" + QString::number(summary.entities.size()) + u" Messages=" +
              QString::number(summary.messages) + u" OtherNames=" +
              QString::number(summary.otherNames + core.store().otherFiles.size()));
    return 0;
}

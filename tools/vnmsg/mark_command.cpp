#include "command.h"
#include "installation.h"

#include "control/heard_log.h"
#include "control/new_rename.h"

#include <QFileInfo>

#include <cstring>

using namespace Qt::StringLiterals;

using namespace VNOrvak;

namespace
{

struct MarkOutcome {
    bool ok = false;
    QString text;
    QString logged; ///< the heard log's outcome; the tool logs only the marks it made
};

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Words for what became of the mark. `target` is the name the message was
// to take; `heard` tells the direction.
MarkOutcome describe(const HeardMoveResult &moved, const QString &target, bool heard)
{
    const QString state = heard ? QStringLiteral("heard") : QStringLiteral("new");
    const QString stays = heard ? QStringLiteral("stays new") : QStringLiteral("stays heard");
    MarkOutcome out;
    switch (moved.outcome) {
    case HeardMove::Renamed:
        out = {true, u"marked " + state + u" (now " + target + u')', u"Renamed"_s};
        break;
    case HeardMove::HeardElsewhere:
        out = {true, u"already " + state + u" (" + target + u" is there)", u"HeardElsewhere"_s};
        break;
    case HeardMove::Gone:
        out = {false, QStringLiteral("no such message"), u"Purged"_s};
        break;
    case HeardMove::NewerCopy:
        out = {false, u"changed while it was marked; it " + stays, u"NewerCopyKept"_s};
        break;
    case HeardMove::HeardNameTaken:
        out = {false, stays + u": another message already has the name " + target,
               u"HeardNameTaken"_s};
        break;
    case HeardMove::Busy:
        out = {false, stays + u" for now: it is in use on a workstation", u"InUse"_s};
        break;
    case HeardMove::Failed:
        out = {false, u"cannot rename it: " + reason(moved.error), u"Failed"_s};
        break;
    }
    if (!moved.parked.isEmpty())
        out.text += u"; left as " + moved.parked + u", which the workstations' polls put back";
    return out;
}

MarkOutcome markOne(const QString &folder, const QString &word, bool heard)
{
    const QString name = messageNameOf(word);
    if (name.isEmpty())
        return {false, QStringLiteral("not a message name"), QString()};
    QString newName = name;
    QString heardName = name;
    newName[0] = u'N';
    heardName[0] = u'M';
    // A name already in the wanted state: there is nothing to rename.
    const QString wanted = heard ? heardName : newName;
    if (name == wanted) {
        if (QFileInfo(folder + name + u".vox").isFile())
            return {true, heard ? u"already heard"_s : u"already new"_s, QString()};
        return {false, QStringLiteral("no such message"), QString()};
    }
    if (heard) {
        MarkOutcome out =
            describe(moveToHeardName(folder, newName, heardName, FileFacts()), heardName, true);
        if (out.logged != u"Renamed")
            out.logged.clear();
        return out;
    }
    MarkOutcome out = describe(moveToNewName(folder, heardName, newName), newName, false);
    out.logged = out.logged == u"Renamed" ? u"MarkedNew"_s : QString();
    return out;
}

} // namespace

int runMarkCommand(const VnmsgArgs &args)
{
    const bool heard = args.command == u"mark-heard";
    const Installation installation = findInstallation();
    QString folder;
    if (const int rc = messagesFolderFor(args.command, args.folder, installation, folder))
        return rc;
    // The administrator's marks go to this workstation's heard log as well.
    HeardLog heardLog;
    if (installation.found)
        heardLog.setPlace(installation.dataPath, QStringLiteral("vnmsg"));
    bool allOk = true;
    for (const QString &word : args.names) {
        const MarkOutcome outcome = markOne(folder, word, heard);
        printLine(word + u": " + outcome.text);
        std::fflush(stdout);
        allOk = allOk && outcome.ok;
        if (!outcome.logged.isEmpty())
            heardLog.record(messageNameOf(word), outcome.logged);
    }
    heardLog.waitWritten(HeardLog::kCloseWaitMs);
    return allOk ? kExitOk : kExitFailed;
}

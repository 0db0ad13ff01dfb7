#include "command.h"
#include "installation.h"

#include "control/heard_log.h"

#include <QDir>
#include <QFile>

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace VNOrvak;

namespace
{

// Every line of every workstation's heard log; lines of another form (cut
// short by a full disk, say) are left out.
QList<HeardLogEntry> readHeardLogs(const QString &folder)
{
    QList<HeardLogEntry> entries;
    const QStringList files = QDir(folder).entryList({u"*.txt"_s}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(folder + name);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(u"heard: cannot read " + folder + name + u": " + file.errorString());
            continue;
        }
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (const auto entry = parseHeardLogLine(QString::fromUtf8(line)))
                entries.append(*entry);
        }
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const HeardLogEntry &a, const HeardLogEntry &b) { return a.time < b.time; });
    return entries;
}

QString localTime(const QDateTime &utc)
{
    return utc.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

} // namespace

int runHeardCommand(const VnmsgArgs &args)
{
    const Installation installation = findInstallation();
    if (!installation.found) {
        printError(u"heard: no installation found: no settings file names one (see vnmsg env)"_s);
        return kExitMissing;
    }
    const QString folder = heardLogFolder(installation.dataPath);
    if (!QDir(installation.dataPath).exists()) {
        printError(u"heard: the data folder " + installation.dataPath + u" does not exist");
        return kExitMissing;
    }
    QList<HeardLogEntry> entries;
    for (const HeardLogEntry &entry : readHeardLogs(folder)) {
        if ((args.entity.isEmpty() || entry.entity == args.entity) &&
            (!args.since.isValid() || entry.time >= args.since))
            entries.append(entry);
    }
    QByteArray out;
    if (args.format == VnmsgFormat::Json) {
        out += "{\"folder\": " + jsonString(folder) + ",\n \"marks\": [";
        const char *separator = "\n  ";
        for (const HeardLogEntry &e : entries) {
            out += separator;
            separator = ",\n  ";
            out += "{\"time\": " + jsonString(e.time.toUTC().toString(Qt::ISODate)) +
                   ", \"host\": " + jsonString(e.host) + ", \"program\": " + jsonString(e.program) +
                   ", \"entity\": " + jsonString(e.entity) +
                   ", \"message\": " + jsonString(e.message) +
                   ", \"outcome\": " + jsonString(e.outcome) + '}';
        }
        out += entries.isEmpty() ? "]}\n" : "\n ]}\n";
    } else {
        out += "Time                 Workstation      Program          Entity     Message       "
               "Outcome\n";
        for (const HeardLogEntry &e : entries) {
            out += (localTime(e.time) + u"  " + e.host.leftJustified(15) + u"  " +
                    e.program.leftJustified(15) + u"  " + e.entity + u"  " + e.message + u"  " +
                    e.outcome + u'\n')
                       .toUtf8();
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return kExitOk;
}

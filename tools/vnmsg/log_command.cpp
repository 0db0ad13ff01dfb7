#include "command.h"
#include "installation.h"

#include "shared/ansi_text.h"
#include "shared/modVNQRN.h"
#include "telephony/port_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>

#include <functional>

using namespace Qt::StringLiterals;

using namespace modVNQRN;

namespace
{

// A continuation of a wrapped entry starts with three blanks and a quote; the
// piece before it ends with a quote that the wrapping added.
bool isContinuation(const QString &line)
{
    return line.startsWith(u"   '");
}

// The entries of a log's text, continuations joined to the line they
// continue.
QStringList entriesOf(const QByteArray &bytes)
{
    QStringList entries;
    for (QString line : decodeAnsi(bytes).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (isContinuation(line) && !entries.isEmpty() && entries.last().endsWith(u'\''))
            entries.last() = entries.last().chopped(1) + line.mid(4);
        else if (!line.isEmpty())
            entries.append(line);
    }
    return entries;
}

// The time stamp "mmmdd hh:nn:ss " at the start of an entry, in `year`.
QDateTime stampOf(const QString &entry, int year)
{
    const QLocale locale;
    for (int month = 1; month <= 12; ++month) {
        const QString name = locale.monthName(month, QLocale::ShortFormat);
        if (!entry.startsWith(name))
            continue;
        const QTime time = QTime::fromString(entry.mid(name.size() + 3, 8), u"HH:mm:ss"_s);
        const QDate day(year, month, entry.mid(name.size(), 2).toInt());
        if (day.isValid() && time.isValid())
            return QDateTime(day, time);
    }
    return QDateTime();
}

struct LogFile {
    QDate day;
    QString path;
};

// The error logs of the folder from `since` on, oldest first: a day's
// set-aside part ("-ERR") before its ordinary file.
QList<LogFile> errorLogs(const QString &folder, const QDate &since)
{
    static const QRegularExpression logName(u"^Log[0-9]{6}(-ERR)?\\.txt$"_s);
    QStringList names = QDir(folder).entryList({u"Log*.txt"_s}, QDir::Files).filter(logName);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.mid(3, 6) != b.mid(3, 6) ? a.mid(3, 6) < b.mid(3, 6) : a.size() > b.size();
    });
    QList<LogFile> logs;
    for (const QString &name : names) {
        QDate day = QDate::fromString(name.mid(3, 6), u"yyMMdd"_s);
        if (day.isValid() && day.year() < 2000)
            day = day.addYears(100);
        if (day.isValid() && (!since.isValid() || day >= since))
            logs.append({day, folder + name});
    }
    return logs;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void printEntries(const QStringList &entries, const QDateTime &since, int year,
                  const QDateTime &newest = QDateTime())
{
    for (const QString &entry : entries) {
        if (since.isValid()) {
            QDateTime when = stampOf(entry, year);
            // The port log's stamps name no year: one after the file's last
            // change belongs to the year before.
            if (newest.isValid() && when.isValid() && when > newest.addDays(1))
                when = when.addYears(-1);
            if (when.isValid() && when < since)
                continue;
        }
        printLine(entry);
    }
    std::fflush(stdout);
}

// Prints what is appended to the log after `offset`, one entry a line, until
// the process is ended. A wrapped entry is printed once its next entry
// starts, or once a check finds nothing more.
[[noreturn]] void follow(const std::function<QString()> &currentPath, qint64 offset)
{
    QString path = currentPath();
    QByteArray partial;
    QString pending;
    for (;;) {
        QThread::msleep(250);
        const QString now = currentPath();
        if (now != path) { // a new day's log
            path = now;
            offset = 0;
            partial.clear();
        }
        QFile file(path);
        QByteArray added;
        if (file.open(QIODevice::ReadOnly)) {
            if (file.size() < offset) // set aside: a new file under the name
                offset = 0;
            file.seek(offset);
            added = file.readAll();
            offset += added.size();
        }
        partial += added;
        const qsizetype end = partial.lastIndexOf('\n');
        QStringList lines;
        if (end >= 0) {
            lines = decodeAnsi(partial.left(end)).split(u'\n');
            partial.remove(0, end + 1);
        }
        for (QString line : lines) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (isContinuation(line) && pending.endsWith(u'\'')) {
                pending = pending.chopped(1) + line.mid(4);
                continue;
            }
            if (!pending.isEmpty())
                printLine(pending);
            pending = line;
        }
        if (added.isEmpty() && !pending.isEmpty()) {
            printLine(pending);
            pending.clear();
        }
        std::fflush(stdout);
    }
}

} // namespace

int runLogCommand(const VnmsgArgs &args)
{
    // The logs are this workstation's: in its local folder, which is known
    // (the user's own) even without an installation.
    findInstallation();
    const QString folder = localLogFolder();
    if (folder.isEmpty()) {
        printError(u"log: this workstation has no folder for logs (no HOME)"_s);
        return kExitMissing;
    }
    if (args.port >= 0) {
        const QString path = VNOrvakTelephony::portLogPath(args.port);
        const QFileInfo info(path);
        if (!info.isFile() && !args.follow) {
            printError(u"log: there is no port log " + path + u" yet");
            return kExitOk;
        }
        const QByteArray bytes = readAll(path);
        const QDateTime newest = info.lastModified();
        printEntries(entriesOf(bytes), args.since, newest.date().year(), newest);
        if (args.follow)
            follow([path] { return path; }, bytes.size());
        return kExitOk;
    }
    qint64 offset = 0;
    for (const LogFile &log : errorLogs(folder, args.since.date())) {
        const QByteArray bytes = readAll(log.path);
        printEntries(entriesOf(bytes), args.since, log.day.year());
        offset = bytes.size();
    }
    if (args.follow) {
        const QString today = errorLogPath(appClock().now().date());
        const QList<LogFile> logs = errorLogs(folder, args.since.date());
        follow([] { return errorLogPath(appClock().now().date()); },
               !logs.isEmpty() && logs.last().path == today ? offset : 0);
    }
    return kExitOk;
}

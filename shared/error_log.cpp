#include "error_log.h"

#include "ansi_text.h"
#include "clock.h"
#include "environment.h"
#include "platform_folders.h"
#include "profile.h"
#include "prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace modVNQRN
{

namespace
{

constexpr qsizetype kPieceLength = 100;

// Where the next piece of a long log line ends (the number of characters it
// keeps): 100, or just after the first line-break marker.
qsizetype pieceCut(const QString &line)
{
    qsizetype p = line.indexOf(u"<13>") + 1; // 1-based, 0 when absent
    const qsizetype q = line.indexOf(u"<10>") + 1;
    if (q == p + 4 || q < p)
        p = q;
    // A cut that would not shorten the line (p within the "   '" lead of a
    // continuation) falls back to the plain length.
    return p > 1 ? p + 3 : kPieceLength;
}

void appendPieces(QFile &file, QString line)
{
    for (;;) {
        QString remainder;
        if (line.size() > kPieceLength) {
            const qsizetype cut = pieceCut(line);
            remainder = u'\'' + line.mid(cut);
            line = line.left(cut) + u'\'';
        }
        file.write(encodeAnsi(line) + "\r\n");
        if (remainder.isEmpty())
            return;
        line = u"   " + remainder;
    }
}

} // namespace

QString MakePrintable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (char32_t ch : text.toUcs4()) {
        const int code = ansiCode(ch);
        if (code < 32 || code > 126)
            out += u'<' + QString::number(code) + u'>';
        else
            out += QChar(code);
    }
    return out;
}

QString logTimeStamp(const QDateTime &when)
{
    const QLocale locale;
    return locale.monthName(when.date().month(), QLocale::ShortFormat) +
           when.toString(QStringLiteral("dd hh:mm:ss "));
}

QString localLogFolder()
{
    const QString folder = gsLocalPath.isEmpty() ? gsAppPath : gsLocalPath;
    if (!folder.isEmpty() && folder != u"/")
        return withTrailingSeparator(folder);
    // Before the installation is known, or with none: the user's own folder,
    // never the file system's root.
    try {
        const QString own = GetLocalAppFolder();
        QDir().mkpath(own);
        return own;
    } catch (...) {
        return QString();
    }
}

QString errorLogPath(const QDate &day)
{
    const QString folder = localLogFolder();
    if (folder.isEmpty())
        return QString();
    return folder + u"Log" + day.toString(QStringLiteral("yyMMdd")) + u".txt";
}

void WriteLog(const QString &message)
{
    try {
        if (ReadProfileInt(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"), 1,
                           gsLocalIni) == 0)
            return;
        const QDateTime now = appClock().now();
        const QString path = errorLogPath(now.date());
        if (path.isEmpty())
            return;

        const QFileInfo info(path);
        if (info.exists() && info.size() > kMaxLogBytes) {
            QString setAside = path;
            setAside.replace(QStringLiteral(".txt"), QStringLiteral("-ERR.txt"));
            QFile::rename(path, setAside);
            if (QFile::exists(path))
                QFile::remove(path);
        }

        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        appendPieces(file, logTimeStamp(now) + QString::fromUtf16(kExeName) + u" - '" +
                               MakePrintable(message) + u'\'');
    } catch (...) {
        // The log is a best effort: the operator still gets the box.
    }
}

namespace
{

QString composeMessage(qint32 errNumber, qint32 errLine, const Error &current,
                       const QString &context)
{
    QString message = u"Error " + QString::number(errNumber) + u" { " +
                      QString::number(current.number()) + u'-' + current.description() +
                      u" } occurred at " + QString::number(errLine) + u" in " + current.source();
    if (!context.isEmpty())
        message += u"... " + MakePrintable(context);
    return message;
}

} // namespace

QString ErrorMessage(const Error &current, const QString &context)
{
    return composeMessage(current.number(), current.line(), current, context);
}

void ReportError(qint32 errNumber, qint32 errLine, const Error &current, const QString &context)
{
    appPrompter().setMousePointer(MousePointer::Default);
    const QString message = composeMessage(errNumber, errLine, current, context);
    WriteLog(message);
    appPrompter().messageBox(message, MsgBoxIcon::Exclamation,
                             u"Zuzidivuz Solutions (" + QString::fromUtf16(kExeName) + u')');
}

void ReportError(const Error &current, const QString &context)
{
    ReportError(current.number(), current.line(), current, context);
}

} // namespace modVNQRN

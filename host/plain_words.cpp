#include "plain_words.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace VNOrvak
{

namespace
{

QString plainForNumber(int number, const QString &description)
{
    switch (number) {
    case 53:
        return QStringLiteral("A file VN-Orvak needs is missing.");
    case 58:
        return QStringLiteral("A file VN-Orvak wanted to write is already there.");
    case 61:
        return QStringLiteral("The disk is full.");
    case 70:
        return QStringLiteral("VN-Orvak is not allowed to read or change a file or folder.");
    case 75:
        return QStringLiteral("A file or folder could not be read or written.");
    case 76:
        return QStringLiteral("A folder VN-Orvak needs is missing.");
    default:
        break;
    }
    if (number >= 31001 && number <= 31008)
        return u"The voice board reported a problem: " + description + u'.';
    return u"Something went wrong: " + description + u'.';
}

// The first absolute path in `text`, without trailing punctuation.
QString firstPath(const QString &text)
{
    static const QRegularExpression path(QStringLiteral(R"((/[^\s:;,"{}()]+))"));
    QString found = path.match(text).captured(1);
    while (found.endsWith(u'.') && !found.endsWith(u"/."))
        found.chop(1);
    return found;
}

// A message file stands for its folder: the problem is the folder's.
QString placeOf(const QString &path)
{
    if (path.endsWith(u".vox", Qt::CaseInsensitive) ||
        path.endsWith(u".ini", Qt::CaseInsensitive) || path.endsWith(u".txt", Qt::CaseInsensitive))
        return QFileInfo(path).path() + u'/';
    return path;
}

QString firstSentence(const QString &text)
{
    QString line = text.section(u'\n', 0, 0).trimmed();
    const qsizetype stop = line.indexOf(QStringLiteral(". "));
    if (stop > 0)
        line = line.left(stop + 1);
    return line;
}

} // namespace

PlainProblem plainProblem(const QString &text)
{
    static const QRegularExpression report(
        QStringLiteral(R"(^Error (-?\d+) \{ -?\d+-(.*?) \} occurred at (-?\d+) in (\S+))"),
        QRegularExpression::DotMatchesEverythingOption);
    PlainProblem p;
    p.details = text;
    p.where = placeOf(firstPath(text));
    // A failed call of the control, as the console reports it.
    static const QRegularExpression call(
        QStringLiteral(R"(^(\w+) failed: error (-?\d+) \((.*?)\) at line)"));
    const QRegularExpressionMatch c = call.match(text);
    if (c.hasMatch()) {
        const int number = c.captured(2).toInt();
        p.what = c.captured(1) + u" failed. " + plainForNumber(number, c.captured(3));
        p.kind = u"error " + QString::number(number) + u' ' + c.captured(1);
        return p;
    }
    const QRegularExpressionMatch m = report.match(text);
    if (m.hasMatch()) {
        const int number = m.captured(1).toInt();
        p.what = plainForNumber(number, m.captured(2));
        p.kind = u"error " + QString::number(number) + u' ' + p.where;
        return p;
    }
    p.what = firstSentence(text);
    // The same text about the same place, whatever numbers it carries.
    QString kind = p.what;
    if (!p.where.isEmpty())
        kind.replace(firstPath(text), p.where);
    static const QRegularExpression messageName(
        QStringLiteral(R"(\b[NM][A-Za-z0-9]\d{9}[A-Za-z0-9]\b)"));
    static const QRegularExpression digits(QStringLiteral(R"(\d+)"));
    p.kind =
        kind.replace(messageName, QStringLiteral("<message>")).replace(digits, QStringLiteral("#"));
    return p;
}

} // namespace VNOrvak

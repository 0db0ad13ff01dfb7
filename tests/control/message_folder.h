#pragma once

#include <QDateTime>
#include <QString>

// Writes a file into a messages folder with the given modification time.
void writeMessageFile(const QString &folder, const QString &name, const QDateTime &modified,
                      const QByteArray &contents = QByteArrayLiteral("voice"));

// A message name of entity `id`: status letter, a carried character, the id
// as nine digits, and the ordering character.
inline QString msg(char status, int id, char order = 'A')
{
    return QString(QChar::fromLatin1(status)) + u'0' + QString::number(id).rightJustified(9, u'0') +
           QChar::fromLatin1(order);
}

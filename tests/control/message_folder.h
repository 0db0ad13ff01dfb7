#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <map>

// Writes a file into a messages folder with the given modification time.
void writeMessageFile(const QString &folder, const QString &name, const QDateTime &modified,
                      const QByteArray &contents = QByteArrayLiteral("voice"));

// A folder's entries by name: a file's contents, "<folder>" for a sub-folder.
using FolderEntries = std::map<QString, QByteArray>;
// Empties `folder` and puts `files` in it.
void fillFolder(const QString &folder, const FolderEntries &files);
// Every entry of `folder`, hidden ones too.
FolderEntries folderContents(const QString &folder);

// A message name of entity `id`: status letter, a carried character, the id
// as nine digits, and the ordering character.
inline QString msg(char status, int id, char order = 'A')
{
    return QString(QChar::fromLatin1(status)) + u'0' + QString::number(id).rightJustified(9, u'0') +
           QChar::fromLatin1(order);
}

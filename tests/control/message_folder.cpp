#include "message_folder.h"

#include "support/test_environment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

void writeMessageFile(const QString &folder, const QString &name, const QDateTime &modified,
                      const QByteArray &contents)
{
    QDir().mkpath(folder);
    QFile file(folder + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(name);
    file.write(contents);
    file.flush(); // a later flush would move the time again
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

void fillFolder(const QString &folder, const FolderEntries &files)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const auto &[name, contents] : files)
        TestWorkstation::writeFile(folder + name, contents);
}

FolderEntries folderContents(const QString &folder)
{
    FolderEntries out;
    for (const QFileInfo &entry :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        out[entry.fileName()] =
            entry.isDir() ? "<folder>" : TestWorkstation::readFile(entry.filePath());
    return out;
}

#include "message_folder.h"

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

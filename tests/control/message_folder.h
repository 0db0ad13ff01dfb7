#pragma once

#include <QDateTime>
#include <QString>

// Writes a file into a messages folder with the given modification time.
void writeMessageFile(const QString &folder, const QString &name, const QDateTime &modified,
                      const QByteArray &contents = QByteArrayLiteral("voice"));

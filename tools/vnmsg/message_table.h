#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

/// One message file as `vnmsg list` and `vnmsg purge` see it.
struct MessageRow {
    std::array<char, 12> name; ///< the 12-character message name
    qint64 modifiedSecs = 0;   ///< the call date: last modification, seconds since 1970
    qint64 size = 0;           ///< bytes

    bool isNew() const { return name[0] == 'N'; }
    QString nameText() const { return QString::fromLatin1(name.data(), 12); }
    /// The entity's nine digits.
    QByteArray entity() const { return QByteArray(name.data() + 2, 9); }
};

/// The messages of a folder, by entity and ordering character (new before
/// heard), and the other names the scan's patterns take ("N*", "M*", either
/// case) in name order.
struct MessageTable {
    std::vector<MessageRow> messages;
    QStringList otherNames;
};

/// Reads `folder` (ending with "/") in one pass with one status per message
/// file, which gives its time and size together. The control's listing reads
/// no sizes; reading them after it would take a second status per file.
/// False with `error` set when the folder cannot be read.
bool readMessageTable(const QString &folder, MessageTable &table, QString &error);

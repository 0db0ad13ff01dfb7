#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace VNOrvak
{

/// One message of an entity as the console lists it.
struct MessageFacts {
    QString name;             ///< the 12-character name ("N..." new, "M..." heard)
    bool isNew = false;       ///< its name starts with "N"
    QDateTime received;       ///< the file's date (invalid when the file cannot be read)
    double lengthSeconds = 0; ///< from the file's size at 8 kHz 4-bit ADPCM (4000 bytes a second)
};

/// The messages of entity `entityId` (any form of the id: "1001" or
/// "000001001") in the message list `msgList` (the control's Messages), in
/// the list's order, with the date and size of each file in `folder`.
QList<MessageFacts> entityMessages(const QString &msgList, const QString &entityId,
                                   const QString &folder);

/// The facts of the message file `folder` + `name` + ".vox".
MessageFacts messageFacts(const QString &name, const QString &folder);

/// A length as an operator reads it: "m:ss" ("0:07", "12:03"), rounded down
/// to the second; negative lengths read "0:00".
QString minutesSeconds(double seconds);

/// The 9-digit form of an entity id ("1001" gives "000001001"); other text
/// as it is.
QString nineDigitId(const QString &id);

} // namespace VNOrvak

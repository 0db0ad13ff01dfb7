#pragma once

#include <QList>
#include <QString>

namespace VNOrvak
{

/// One entity of a message list and its share of the messages.
struct EntityMessages {
    QString id;          ///< the nine-digit id as it stands in the names
    int messages = 0;    ///< its messages
    int newMessages = 0; ///< those whose name starts with "N"
    int heard() const { return messages - newMessages; }
};

/// The entities of a message list (the control's property Messages), in
/// ascending id order.
struct EntitySummary {
    QList<EntityMessages> entities;
    int messages = 0;   ///< every name of the list
    int otherNames = 0; ///< names that are not 12 characters with a nine-digit id
};

/// Groups the names of `msgList` (12-character names joined by ",") by the
/// entity id in characters 3 to 11. Names of another form are only counted.
EntitySummary summarizeEntities(const QString &msgList);

} // namespace VNOrvak

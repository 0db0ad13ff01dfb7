#include "entity_summary.h"

#include <algorithm>
#include <map>

namespace VNOrvak
{

EntitySummary summarizeEntities(const QString &msgList)
{
    EntitySummary summary;
    // Keyed by the text of the id: nine digits sort as their numbers do.
    std::map<QString, EntityMessages> byId;
    const QStringList names = msgList.split(u',', Qt::SkipEmptyParts);
    summary.messages = int(names.size());
    for (const QString &name : names) {
        const QString id = name.mid(2, 9);
        const bool digits = name.size() == 12 && std::all_of(id.begin(), id.end(), [](QChar c) {
                                return c >= u'0' && c <= u'9';
                            });
        if (!digits) {
            ++summary.otherNames;
            continue;
        }
        EntityMessages &entity = byId[id];
        entity.id = id;
        ++entity.messages;
        if (name.startsWith(u'N'))
            ++entity.newMessages;
    }
    for (auto &entry : byId)
        summary.entities.append(entry.second);
    return summary;
}

} // namespace VNOrvak

#include "message_facts.h"

#include <QFileInfo>

namespace VNOrvak
{

namespace
{

constexpr double kBytesPerSecond = 4000.0;

} // namespace

QString nineDigitId(const QString &id)
{
    bool ok = false;
    const qlonglong number = id.toLongLong(&ok);
    if (!ok || number < 0 || id.startsWith(u'+'))
        return id;
    return QString::number(number).rightJustified(9, u'0');
}

MessageFacts messageFacts(const QString &name, const QString &folder)
{
    MessageFacts facts;
    facts.name = name;
    facts.isNew = name.startsWith(u'N', Qt::CaseInsensitive);
    const QFileInfo file(folder + name + u".vox");
    if (file.exists()) {
        facts.received = file.lastModified();
        facts.lengthSeconds = double(file.size()) / kBytesPerSecond;
    }
    return facts;
}

QList<MessageFacts> entityMessages(const QString &msgList, const QString &entityId,
                                   const QString &folder)
{
    QList<MessageFacts> out;
    const QString id = nineDigitId(entityId);
    if (id.isEmpty())
        return out;
    for (const QString &name : msgList.split(u',', Qt::SkipEmptyParts))
        if (name.size() == 12 && name.mid(2, 9) == id)
            out << messageFacts(name, folder);
    return out;
}

QString minutesSeconds(double seconds)
{
    const qint64 whole = seconds > 0 ? qint64(seconds) : 0;
    return QString::number(whole / 60) + u':' + QString::number(whole % 60).rightJustified(2, u'0');
}

} // namespace VNOrvak

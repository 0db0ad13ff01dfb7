#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <limits>

// The message list built step by step as the ordering rules state it:
// items taken off the front of the comma list, each name inserted into the
// text by walking it in 13-character steps; only message file names are
// added, the others kept apart. Slow on purpose; the tests hold the fast
// store against it.
class LiteralMessageStore
{
public:
    static constexpr qint64 kNone = std::numeric_limits<qint64>::min();

    QString msMsgDir;
    QString msMsgList;
    qint32 mlMsgCnt = 0;
    qint32 mlNewMsgCnt = 0;
    qint32 mlMsgTodayCnt = 0;
    qint64 lastSecs = kNone; // latest modification seen
    QDate today;
    QStringList otherNames; // kept apart by Scan()

    // The poll's listing: the folder's new names then its heard names, each
    // as the patterns "N*.*" and "M*.*" return them.
    void Scan(const QStringList &newNames, const QStringList &heardNames);
    void AddMessages(QString sFiles);
    void AddMessage(QString sFile);
    bool NeedsListEntry(QString sName);
    void UpdateMessageDates(QString sFile);
};

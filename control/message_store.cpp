#include "message_store.h"

#include "ole_date.h"
#include "ordered_name_list.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/list_items.h"

#include <QFileInfo>

#include <optional>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

// The modification time of a file of the folder, read from the disk.
qint64 readModifiedSecs(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw Error(modVNQRN::errFileNotFound);
    return info.lastModified().toSecsSinceEpoch();
}

QString baseName(QString sFile)
{
    return modVNQRN::GetLeftItem(sFile, QStringLiteral("."));
}

} // namespace

// One run of additions: the list in its fast form, today's bounds taken once,
// and the latest time seen, applied to mdLastMsgDate when the run ends.
class MessageStore::Batch
{
public:
    explicit Batch(MessageStore &store) : m_store(store), m_list(store.msMsgList)
    {
        const QDate today = modVNQRN::appClock().now().date();
        m_todayStart = QDateTime(today, QTime(0, 0)).toSecsSinceEpoch();
        m_todayEnd = QDateTime(today.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
    }

    // AddMessage with the file's time (nullopt: it could not be read).
    // Returns whether the time still has to be reported as unreadable.
    bool add(const QString &sFile, std::optional<qint64> secs)
    {
        const QString sName = baseName(sFile);
        if (!needsListEntry(sName))
            return true;
        if (sName.contains(u'N'))
            ++m_store.mlNewMsgCnt;
        ++m_store.mlMsgCnt;
        if (secs) {
            follow(*secs);
            if (*secs >= m_todayStart && *secs < m_todayEnd)
                ++m_store.mlMsgTodayCnt;
        } else {
            report(Error(modVNQRN::errFileNotFound));
        }
        m_list.insert(sName);
        return false;
    }

    void follow(qint64 secs)
    {
        if (!m_latest || secs > *m_latest)
            m_latest = secs;
    }

    static void report(const Error &error) { modVNQRN::ReportError(error, QString()); }

    void finish()
    {
        m_store.msMsgList = m_list.text();
        if (m_latest) {
            const QDateTime latest = QDateTime::fromSecsSinceEpoch(*m_latest);
            if (latest > m_store.mdLastMsgDate)
                m_store.mdLastMsgDate = latest;
        }
    }

private:
    bool needsListEntry(const QString &sName)
    {
        // An empty base name (a piece of a name with commas) has no entry.
        if (sName.isEmpty() || m_list.contains(sName))
            return false;
        if (sName.startsWith(u'N')) {
            const QString heard = HeardName(sName);
            if (m_list.contains(heard)) {
                ++m_store.mlNewMsgCnt;
                m_list.replaceAll(heard, sName);
                return false;
            }
        }
        return true;
    }

    MessageStore &m_store;
    OrderedNameList m_list;
    qint64 m_todayStart = 0;
    qint64 m_todayEnd = 0;
    std::optional<qint64> m_latest;
};

MessageStore::MessageStore() : mdLastMsgDate(oleZeroDate()) {}

void MessageStore::SetMessagesPath()
{
    msMsgDir = modVNQRN::gsDataPath + u"messages";
    if (!msMsgDir.endsWith(u'/'))
        msMsgDir += u'/';
}

void MessageStore::AddMessages(QString sFiles)
{
    addFiles(sFiles, nullptr);
}

void MessageStore::AddListedMessages(const MessageListing &listing)
{
    QList<ListedFile> files = listing.newFiles;
    files += listing.heardFiles;
    QString sFiles;
    for (const ListedFile &f : files)
        sFiles += f.name + u',';
    if (sFiles.endsWith(u','))
        sFiles.chop(1);
    if (!sFiles.isEmpty())
        addFiles(sFiles, &files);
}

void MessageStore::addFiles(const QString &sFiles, const QList<ListedFile> *listed)
{
    Batch batch(*this);
    // Where each listed name lies in sFiles, so that an item that is a whole
    // listed name takes the listing's time instead of a second read.
    qsizetype cursor = 0;
    qsizetype listedStart = 0;
    const auto listedTime = [&](qsizetype s, qsizetype e) -> std::optional<std::optional<qint64>> {
        if (!listed)
            return std::nullopt;
        while (cursor < listed->size() && listedStart < s) {
            listedStart += (*listed)[cursor].name.size() + 1;
            ++cursor;
        }
        if (cursor == listed->size() || listedStart != s || (*listed)[cursor].name.size() != e - s)
            return std::nullopt;
        const qint64 secs = (*listed)[cursor].modifiedSecs;
        return secs == ListedFile::kNoTime ? std::optional<qint64>() : secs;
    };

    // Takes items off the front as GetLeftItem does (the rest trimmed of
    // blanks, the item before the first "," trimmed), without copying the rest.
    qsizetype begin = 0;
    qsizetype end = sFiles.size();
    bool more = !sFiles.isEmpty();
    while (more) {
        while (begin < end && sFiles[begin] == u' ')
            ++begin;
        while (end > begin && sFiles[end - 1] == u' ')
            --end;
        qsizetype itemEnd = sFiles.indexOf(u',', begin);
        qsizetype next = 0;
        if (itemEnd < 0 || itemEnd >= end) {
            itemEnd = end;
            next = end;
        } else {
            next = itemEnd + 1;
        }
        qsizetype itemBegin = begin;
        while (itemBegin < itemEnd && sFiles[itemBegin] == u' ')
            ++itemBegin;
        while (itemEnd > itemBegin && sFiles[itemEnd - 1] == u' ')
            --itemEnd;
        const QString sItem = sFiles.mid(itemBegin, itemEnd - itemBegin);
        begin = next;
        more = begin < end;

        std::optional<qint64> secs;
        try {
            const auto known = listedTime(itemBegin, itemEnd);
            secs = known ? *known : std::optional<qint64>(readModifiedSecs(msMsgDir + sItem));
        } catch (...) {
        }
        try {
            const bool unreported = batch.add(sItem, secs);
            if (secs)
                batch.follow(*secs);
            else if (unreported)
                Batch::report(Error(modVNQRN::errFileNotFound));
        } catch (...) {
            Batch::report(modVNQRN::currentError());
        }
    }
    batch.finish();
}

void MessageStore::AddMessage(QString sFile)
{
    Batch batch(*this);
    try {
        std::optional<qint64> secs;
        try {
            secs = readModifiedSecs(msMsgDir + sFile);
        } catch (...) {
        }
        batch.add(sFile, secs);
    } catch (...) {
        Batch::report(modVNQRN::currentError());
    }
    batch.finish();
}

bool MessageStore::NeedsListEntry(QString sName)
{
    if (sName.isEmpty() || msMsgList.contains(sName))
        return false;
    if (sName.startsWith(u'N')) {
        const QString heard = HeardName(sName);
        if (msMsgList.contains(heard)) {
            ++mlNewMsgCnt;
            msMsgList.replace(heard, sName);
            return false;
        }
    }
    return true;
}

void MessageStore::UpdateMessageDates(QString sFile)
{
    const QDateTime d = QDateTime::fromSecsSinceEpoch(readModifiedSecs(msMsgDir + sFile));
    if (d > mdLastMsgDate)
        mdLastMsgDate = d;
    if (d.date() == modVNQRN::appClock().now().date())
        ++mlMsgTodayCnt;
}

void MessageStore::SelectEntityMessages()
{
    msEntityList.clear();
    msPlayQueue.clear();
    mlEntityMsgCnt = 0;
    mlEntityPos = 0;
    if (!msEntityID.isEmpty()) {
        for (qsizetype p = msMsgList.indexOf(msEntityID); p >= 0;
             p = msMsgList.indexOf(msEntityID, p + 1)) {
            // The id sits at the third character of its name.
            if (p < 2)
                throw Error(modVNQRN::errInvalidCall);
            msEntityList += QStringView(msMsgList).mid(p - 2, 12) + u',';
            ++mlEntityMsgCnt;
        }
    }
    if (msEntityList.endsWith(u','))
        msEntityList.chop(1);
    mbHasEntityMsgs = !msEntityList.isEmpty();
    mbHasEntityNewMsgs = msEntityList.contains(u'N');
}

void MessageStore::MarkHeardInList(QString sName)
{
    if (!sName.isEmpty()) {
        const QString heard = HeardName(sName);
        msMsgList.replace(sName, heard);
        if (msMsgList.endsWith(u','))
            msMsgList.chop(1);
        msEntityList.replace(sName, heard);
        msPlayQueue.replace(sName, heard);
        if (msEntityList.endsWith(u','))
            msEntityList.chop(1);
    }
    --mlNewMsgCnt;
}

QString MessageStore::GetRightItem(QString &sList, const QString &sDelim)
{
    const QString delim = sDelim.isEmpty() ? QStringLiteral(",") : sDelim;
    sList = modVNQRN::TrimBlanks(sList);
    const qsizetype p = sList.lastIndexOf(delim);
    if (p < 0) {
        QString item = sList;
        sList.clear();
        return item;
    }
    QString item = sList.mid(p + delim.size());
    sList = modVNQRN::TrimBlanks(sList.left(p));
    return item;
}

void MessageStore::ClearMessages()
{
    msMsgList.clear();
    mlMsgTodayCnt = 0;
    mlNewMsgCnt = 0;
    mlMsgCnt = 0;
}

QString MessageStore::HeardName(const QString &sName)
{
    return u'M' + sName.mid(1);
}

} // namespace VNOrvak

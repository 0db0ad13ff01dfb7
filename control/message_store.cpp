#include "message_store.h"

#include "message_name.h"
#include "ole_date.h"
#include "ordered_name_list.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error.h"
#include "shared/error_log.h"
#include "shared/list_items.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

// A message file that vanished between the listing and the look at it.
Error missingFile(const QString &path)
{
    return Error(modVNQRN::errFileNotFound, u"File not found: " + QDir::toNativeSeparators(path));
}

// The modification time of a file of the folder, read from the disk.
qint64 readModifiedSecs(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw missingFile(path);
    const QDateTime modified = info.lastModified();
    if (!modified.isValid())
        throw Error(modVNQRN::errPathFileAccess,
                    u"Cannot read the time of " + QDir::toNativeSeparators(path));
    return modified.toSecsSinceEpoch();
}

QString baseName(QString sFile)
{
    return modVNQRN::GetLeftItem(sFile, QStringLiteral("."));
}

// Message file names of one group, each starting with `state`, in strictly
// ascending order: no name twice.
bool isOrderedGroup(const QList<ListedFile> &files, QChar state)
{
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString &name = files[i].name;
        if (!IsMessageFileName(name) || name[0] != state || (i > 0 && !(files[i - 1].name < name)))
            return false;
    }
    return true;
}

bool sameNames(const QList<ListedFile> &a, const QList<ListedFile> &b)
{
    if (a.isSharedWith(b))
        return true;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](const ListedFile &x, const ListedFile &y) { return x.name == y.name; });
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

    // Adds a file with its time (nullopt: it could not be read, for the
    // reason `noTime` gives; `vanished`: it was listed and is gone). Returns
    // whether the name was added; one that was not leaves a time that could
    // not be read to the caller.
    bool add(const QString &sFile, std::optional<qint64> secs, const Error &noTime,
             bool vanished = false)
    {
        // Only message files: a name of another form would shift the list's
        // 13-character steps.
        if (!IsMessageFileName(sFile))
            return false;
        const QString sName = baseName(sFile);
        if (!needsListEntry(sName))
            return false;
        if (sName.contains(u'N'))
            ++m_store.mlNewMsgCnt;
        ++m_store.mlMsgCnt;
        if (secs) {
            follow(*secs);
            if (*secs >= m_todayStart && *secs < m_todayEnd)
                ++m_store.mlMsgTodayCnt;
        } else {
            (vanished ? reportVanished : report)(noTime);
        }
        m_list.insert(sName);
        return true;
    }

    void follow(qint64 secs)
    {
        if (!m_latest || secs > *m_latest)
            m_latest = secs;
    }

    // A listed file's time without adding its name again.
    void countTime(qint64 secs)
    {
        follow(secs);
        if (secs >= m_todayStart && secs < m_todayEnd)
            ++m_store.mlMsgTodayCnt;
    }

    static void report(const Error &error) { modVNQRN::ReportError(error, QString()); }
    // A listed message file that vanished before its time was read was
    // renamed or purged by another workstation meanwhile (a network folder's
    // cached listing shows it for a while): a race that loses nothing, for
    // the error log alone.
    static void reportVanished(const Error &error)
    {
        modVNQRN::WriteLog(modVNQRN::ErrorMessage(error, QString()));
    }

    // The latest date alone, where the list was built another way.
    void finishTimes()
    {
        if (m_latest) {
            const QDateTime latest = QDateTime::fromSecsSinceEpoch(*m_latest);
            if (latest > m_store.mdLastMsgDate)
                m_store.mdLastMsgDate = latest;
        }
    }

    void finish()
    {
        m_store.msMsgList = m_list.text();
        finishTimes();
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
    otherFiles += listing.otherNames;
    if (addListedToEmptyList(listing))
        return;
    QList<ListedFile> files;
    for (const QList<ListedFile> *group : {&listing.newFiles, &listing.heardFiles}) {
        for (const ListedFile &f : *group) {
            if (IsMessageFileName(f.name))
                files.append(f);
            else
                otherFiles.append(f.name);
        }
    }
    QString sFiles;
    for (const ListedFile &f : files)
        sFiles += f.name + u',';
    if (sFiles.endsWith(u','))
        sFiles.chop(1);
    if (!sFiles.isEmpty())
        addFiles(sFiles, &files);
}

bool MessageStore::addListedToEmptyList(const MessageListing &listing)
{
    // What a poll hands over: an empty list, distinct message files, new ones
    // before heard ones. Then every name is added (a new name's heard twin
    // comes after it), and the list is the names stably sorted by id and
    // ordering character, which depends on the names alone: an unchanged
    // folder gives the list of the previous poll again.
    if (!msMsgList.isEmpty())
        return false;
    const bool same = sameNames(listing.newFiles, m_lastRun.newFiles) &&
                      sameNames(listing.heardFiles, m_lastRun.heardFiles);
    if (!same) {
        if (!isOrderedGroup(listing.newFiles, u'N') || !isOrderedGroup(listing.heardFiles, u'M'))
            return false;
        // Names: 12 characters with a nine-digit id. The index keeps equal
        // keys in the order added.
        struct Key {
            quint64 order;
            quint32 index;
        };
        std::vector<Key> keys;
        std::vector<const QString *> names;
        const std::size_t count =
            static_cast<std::size_t>(listing.newFiles.size() + listing.heardFiles.size());
        keys.reserve(count);
        names.reserve(count);
        qint32 newCount = 0;
        for (const QList<ListedFile> *group : {&listing.newFiles, &listing.heardFiles}) {
            for (const ListedFile &f : *group) {
                const QString &name = f.name;
                quint64 id = 0;
                for (qsizetype i = 2; i < 11; ++i)
                    id = id * 10 + (name[i].unicode() - u'0');
                keys.push_back(
                    {(id << 8) | name[11].unicode(), static_cast<quint32>(names.size())});
                names.push_back(&name);
                if (name[0] == u'N' || name[1] == u'N' || name[11] == u'N')
                    ++newCount;
            }
        }
        std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            return a.order < b.order || (a.order == b.order && a.index < b.index);
        });
        QString list;
        list.reserve(static_cast<qsizetype>(count * 13));
        for (const Key &key : keys) {
            if (!list.isEmpty())
                list += u',';
            list += QStringView(*names[key.index]).left(12);
        }
        m_lastRun = {listing.newFiles, listing.heardFiles, list, newCount};
    }
    Batch batch(*this); // over the empty list, for the times alone
    msMsgList = m_lastRun.list;
    mlMsgCnt += static_cast<qint32>(listing.newFiles.size() + listing.heardFiles.size());
    mlNewMsgCnt += m_lastRun.newCount;
    for (const QList<ListedFile> *group : {&listing.newFiles, &listing.heardFiles}) {
        for (const ListedFile &f : *group) {
            if (f.modifiedSecs == ListedFile::kNoTime)
                Batch::reportVanished(missingFile(msMsgDir + f.name));
            else
                batch.countTime(f.modifiedSecs);
        }
    }
    batch.finishTimes();
    return true;
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
        // Why the time is missing, as the look at the file said.
        Error noTime = missingFile(msMsgDir + sItem);
        bool vanished = false;
        try {
            const auto known = listedTime(itemBegin, itemEnd);
            vanished = known && !*known;
            secs = known ? *known : std::optional<qint64>(readModifiedSecs(msMsgDir + sItem));
        } catch (...) {
            noTime = modVNQRN::currentError();
        }
        try {
            const bool added = batch.add(sItem, secs, noTime, vanished);
            if (secs)
                batch.follow(*secs);
            else if (!added)
                (vanished ? Batch::reportVanished : Batch::report)(noTime);
        } catch (...) {
            Batch::report(modVNQRN::currentError());
        }
    }
    batch.finish();
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
    otherFiles.clear();
    mlMsgTodayCnt = 0;
    mlNewMsgCnt = 0;
    mlMsgCnt = 0;
}

QString MessageStore::HeardName(const QString &sName)
{
    return u'M' + sName.mid(1);
}

} // namespace VNOrvak

#include "literal_message_store.h"

#include "control/numeric_value.h"
#include "shared/list_items.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <stdexcept>

using modVNQRN::GetLeftItem;

namespace
{

// Characters from 1-based position `start`, as many as there are.
QString Mid(const QString &s, qsizetype start, qsizetype length)
{
    return start - 1 >= s.size() ? QString() : s.mid(start - 1, length);
}

qint64 FileDateTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw std::runtime_error("file not found");
    return info.lastModified().toSecsSinceEpoch();
}

// "N" or "M", a letter or digit, nine digits, an ordering character, ".vox".
bool IsMessageFile(const QString &sFile)
{
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("[NM][A-Za-z0-9][0-9]{9}[A-Za-z0-9]\\.vox")));
    return form.match(sFile).hasMatch();
}

} // namespace

void LiteralMessageStore::Scan(const QStringList &newNames, const QStringList &heardNames)
{
    QString sFiles;
    for (const QString &name : newNames + heardNames) {
        if (IsMessageFile(name))
            sFiles = sFiles + name + u',';
        else
            otherNames.append(name);
    }
    if (sFiles.endsWith(u','))
        sFiles = sFiles.left(sFiles.size() - 1);
    if (!sFiles.isEmpty())
        AddMessages(sFiles);
}

void LiteralMessageStore::AddMessages(QString sFiles)
{
    while (!sFiles.isEmpty()) {
        const QString sItem = GetLeftItem(sFiles, QStringLiteral(","));
        AddMessage(sItem);
        try {
            const qint64 d = FileDateTime(msMsgDir + sItem);
            if (d > lastSecs)
                lastSecs = d;
        } catch (const std::exception &) {
            // reported, and the next item is taken
        }
    }
}

void LiteralMessageStore::AddMessage(QString sFile)
{
    if (!IsMessageFile(sFile))
        return;
    QString copy = sFile;
    const QString sName = GetLeftItem(copy, QStringLiteral("."));
    if (!NeedsListEntry(sName))
        return;
    if (sName.contains(u'N'))
        ++mlNewMsgCnt;
    ++mlMsgCnt;
    try {
        UpdateMessageDates(sFile);
    } catch (const std::exception &) {
        // reported, and the name is still listed
    }
    const double id = std::nearbyint(VNOrvak::NumericValue(Mid(sName, 3, 9)));
    const QString key = sName.right(1);
    const auto insertAt = [&](qsizetype p) {
        msMsgList = msMsgList.left(p) + sName + u',' + msMsgList.mid(p);
    };
    const qsizetype bound = msMsgList.size();
    for (qsizetype pos = 0; pos <= bound; pos += 13) {
        const double entryId = VNOrvak::NumericValue(Mid(msMsgList, pos + 3, 9));
        if (id < entryId) {
            insertAt(pos);
            return;
        }
        if (id == entryId) {
            for (qsizetype q = pos; q <= msMsgList.size(); q += 13) {
                if (VNOrvak::NumericValue(Mid(msMsgList, q + 3, 9)) != id) {
                    insertAt(q);
                    return;
                }
                if (key < Mid(msMsgList, q + 12, 1)) {
                    insertAt(q);
                    return;
                }
            }
        }
    }
    if (msMsgList.isEmpty()) {
        msMsgList = sName;
    } else {
        if (!msMsgList.endsWith(u','))
            msMsgList += u',';
        msMsgList += sName;
    }
}

bool LiteralMessageStore::NeedsListEntry(QString sName)
{
    if (sName.isEmpty() || msMsgList.contains(sName))
        return false;
    if (sName.startsWith(u'N') && msMsgList.contains(u'M' + sName.mid(1))) {
        ++mlNewMsgCnt;
        msMsgList.replace(u'M' + sName.mid(1), sName);
        return false;
    }
    return true;
}

void LiteralMessageStore::UpdateMessageDates(QString sFile)
{
    const qint64 d = FileDateTime(msMsgDir + sFile);
    if (d > lastSecs)
        lastSecs = d;
    if (QDateTime::fromSecsSinceEpoch(d).toString(QStringLiteral("MM/dd/yyyy")) ==
        QDateTime(today, QTime(12, 0)).toString(QStringLiteral("MM/dd/yyyy")))
        ++mlMsgTodayCnt;
}

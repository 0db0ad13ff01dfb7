#pragma once

#include "message_listing.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace VNOrvak
{

/// The control's list of the voice messages of the shared messages folder,
/// built from the file names alone, with its counts and the current entity's
/// share of it. No window and no timer: MessageControlCore drives it.
///
/// A message file's base name (the text before the first ".") has 12
/// characters: "N" (new) or "M" (heard), one character carried along, the
/// entity id as nine digits, and one ordering character. Lists of names are
/// joined by "," with no comma at the end.
class MessageStore
{
public:
    MessageStore();

    // All messages of the folder. The list and the three counts are rebuilt
    // by every scan; mdLastMsgDate only grows.
    QString msMsgDir;         ///< the messages folder, ending with "/"
    QString msMsgList;        ///< the property Messages: every base name, ordered
    qint32 mlMsgCnt = 0;      ///< names in msMsgList
    qint32 mlNewMsgCnt = 0;   ///< new names (holding a capital "N")
    qint32 mlMsgTodayCnt = 0; ///< names whose file was modified today
    QDateTime mdLastMsgDate;  ///< latest modification seen; oleZeroDate() until then
    /// The files of the folder that the scan kept apart: the patterns take
    /// them, but their names are no message file names (IsMessageFileName).
    QStringList otherFiles;

    // The current entity.
    QString msEntityID;              ///< nine-digit id of the current entity
    QString msEntityList;            ///< names of msMsgList that hold msEntityID
    qint32 mlEntityMsgCnt = 0;       ///< names in msEntityList
    qint32 mlEntityPos = 0;          ///< the play engine's position in msEntityList
    bool mbHasEntityMsgs = false;    ///< msEntityList is not empty
    bool mbHasEntityNewMsgs = false; ///< msEntityList holds a capital "N"
    QString msPlayQueue;             ///< the play engine's queue of names

    /// msMsgDir = gsDataPath + "messages/".
    void SetMessagesPath();

    /// Adds every file of the comma-separated `sFiles` (names with
    /// extensions, inside msMsgDir) and follows the latest modification time
    /// of each. A failure with one file (it vanished, say) is reported through
    /// ReportError and the next file is added all the same.
    void AddMessages(QString sFiles);

    /// AddMessages() for the message files of a listing, new ones first:
    /// their modification times come from the listing and are not read again.
    /// The listing's other names, and any listed name that is no message file
    /// name, go to otherFiles instead.
    void AddListedMessages(const MessageListing &listing);

    /// Builds msEntityList and the entity fields from msMsgList and
    /// msEntityID; empties msPlayQueue and sets mlEntityPos to 0. The id is
    /// searched as text anywhere in the list. An empty msEntityID selects
    /// nothing.
    void SelectEntityMessages();

    /// Puts the heard name of `sName` ("M" + its second character on) in its
    /// place in msMsgList, msEntityList and msPlayQueue, and lowers
    /// mlNewMsgCnt by one whether or not the name was found.
    void MarkHeardInList(QString sName);

    /// Removes and returns the last item of a delimited list: the text after
    /// the last `sDelim` ("," when empty), untrimmed; `sList` keeps the text
    /// before it without surrounding blanks. Without the delimiter the whole
    /// list (trimmed) is returned and `sList` becomes "".
    static QString GetRightItem(QString &sList, const QString &sDelim = QString());

    /// Empties the list, the counts of the whole folder and otherFiles (not
    /// mdLastMsgDate).
    void ClearMessages();

    /// The heard name of a name: "M" followed by its characters from the
    /// second on.
    static QString HeardName(const QString &sName);

private:
    class Batch;
    void addFiles(const QString &sFiles, const QList<ListedFile> *listed);
    bool addListedToEmptyList(const MessageListing &listing);

    // The list that the last listing added to an empty list gave, kept for
    // the next poll of an unchanged folder.
    struct ListedRun {
        QList<ListedFile> newFiles;
        QList<ListedFile> heardFiles;
        QString list;
        qint32 newCount = 0;
    };
    ListedRun m_lastRun;
};

} // namespace VNOrvak

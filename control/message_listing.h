#pragma once

#include "directory_reader.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace VNOrvak
{

/// One file of the messages folder as the listing saw it.
struct ListedFile {
    /// Marks a file whose modification time could not be read (it vanished
    /// between the reading of the folder and of its time).
    static constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

    QString name;                  ///< the file name with its extension, no folder
    qint64 modifiedSecs = kNoTime; ///< last modification, whole seconds since 1970 (UTC)
};

/// The files of a messages folder that the scan's patterns ("N*.*" and
/// "M*.*", either case) take.
struct MessageListing {
    QList<ListedFile> newFiles;   ///< message files named "N..." (IsMessageFileName)
    QList<ListedFile> heardFiles; ///< message files named "M..."
    QStringList otherNames;       ///< the other names, kept apart: no message files
    /// The folder does not exist or is not a folder (there are no files then).
    bool folderMissing = false;
    /// The folder has lost its marker (kFolderMarker) and holds no message:
    /// the empty mount point of a share that is not mounted (no files then).
    bool notMounted = false;
    /// With notMounted: the folder is told from the share not by its marker
    /// but by its file system, which is not the one this workstation last
    /// saw its messages on.
    bool otherFileSystem = false;
};

/// The file that marks a messages folder as the installation's: created by
/// the first poll that finds a message in the folder. An empty folder
/// without it, where it was seen before, is a share that is not mounted.
inline constexpr char kFolderMarker[] = ".vnorvak-messages";

/// The file of the workstation's local folder (gsLocalPath) that remembers,
/// for each messages folder, the file system it was last seen on with
/// messages: one line "TYPE MOUNTPOINT FOLDER" (statfs type in hex, 1 when
/// the folder was a mount point, the absolute folder).
inline constexpr char kFolderFileSystems[] = "MessageFolders.seen";

/// Lists the message files of a folder, poll after poll, in one pass over the
/// folder: ordinary files only (no sub-folders, hidden or system files, no
/// links to nothing), whose first letter is "N" or "M" in either case. Only
/// the files whose names are message file names have their modification time
/// read, once each; the others are only named. Each group is in ascending
/// code-point order of the names, so every workstation builds the same list
/// from the same folder. When a poll finds the same names with the same times
/// as the previous one, it hands back the previous listing without building
/// it again. A folder that does not exist gives no files and says so
/// (folderMissing); one that cannot be read throws modVNQRN::Error. A folder
/// seen with its marker that later holds neither marker nor message is
/// reported as not mounted (notMounted), and so is one that holds neither
/// and is no longer on the file system where this workstation last saw its
/// messages (kFolderFileSystems): a share unmounted before the program
/// started, or one that cannot hold the marker, is told from the first poll.
class MessageFolderReader
{
public:
    /// Reads through `reader` (not owned); nullptr reads the file system.
    explicit MessageFolderReader(DirectoryReader *reader = nullptr);
    ~MessageFolderReader();
    MessageFolderReader(const MessageFolderReader &) = delete;
    MessageFolderReader &operator=(const MessageFolderReader &) = delete;

    /// Puts `reader` (not owned) in the file system's place; nullptr puts the
    /// file system back. Forgets the previous poll.
    void setDirectoryReader(DirectoryReader *reader);

    /// Lists `folder` ("" is the current folder).
    MessageListing read(const QString &folder);

    /// Remembers the file system of `folder`, which holds messages, as a
    /// read that finds them does: for a program that lists the folder in a
    /// way of its own and reads it here only when it looks empty.
    void noteMessagesSeen(const QString &folder) { noteFileSystem(folder); }

    /// Whether `folder` can be read: opened, not listed. False when it does
    /// not exist; throws modVNQRN::Error when it cannot be read.
    bool canOpen(const QString &folder);

private:
    struct Seen {
        std::array<char, 16> name;
        qint64 modifiedSecs;
        bool operator==(const Seen &) const = default;
    };

    MessageListing build(std::vector<Seen> messages, std::vector<QByteArray> others) const;
    void forget();
    void recall(const QString &folder);
    bool onAnotherFileSystem(const QString &folder);
    void noteFileSystem(const QString &folder);

    DirectoryReader *m_reader;
    std::unique_ptr<DirectoryReader> m_fileSystem;
    // The folder whose marker was seen (kept when a poll forgets), and the
    // one where creating it was tried (once: a read-only share refuses).
    bool m_markerSeen = false;
    QString m_markedFolder;
    bool m_markerTriedOnce = false;
    QString m_markerTried;
    // The file system the folder was last seen on with messages, as this
    // workstation remembers it (read once per folder), and whether this
    // reader has compared it since the folder last showed messages.
    QString m_recalledFolder;
    std::optional<DirectoryReader::FileSystem> m_recalled;
    bool m_fileSystemNoted = false;
    // The previous poll: its folder, what it saw in reading order, its result.
    QString m_folder;
    std::vector<Seen> m_seen;
    std::vector<QByteArray> m_seenOthers;
    MessageListing m_listing;
};

/// One listing of `folder` by a reader of its own (see MessageFolderReader).
MessageListing ListMessageFiles(const QString &folder);

} // namespace VNOrvak

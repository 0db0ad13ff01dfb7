#pragma once

#include <QList>
#include <QString>

#include <limits>

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

/// The message files of a folder: the new ones (pattern "N*.*") and the heard
/// ones ("M*.*").
struct MessageListing {
    QList<ListedFile> newFiles;
    QList<ListedFile> heardFiles;
    /// The folder does not exist or is not a folder (there are no files then).
    bool folderMissing = false;
};

/// Lists the message files of `folder` ("" is the current folder) in one
/// pass: ordinary files only (no sub-folders, hidden or system files), whose
/// first letter is "N" or "M" in either case, with or without an extension.
/// Each group is in ascending code-point order of the names, so every
/// workstation builds the same list from the same folder, and each file's
/// modification time is read once, here. A folder that does not exist gives
/// no files and says so (folderMissing); one that cannot be read throws
/// modVNQRN::Error.
MessageListing ListMessageFiles(const QString &folder);

} // namespace VNOrvak

#pragma once

#include "message_file_system.h"

#include <QString>

namespace VNOrvak
{

/// What became of a played message's file when it was to take its heard name.
enum class HeardMove {
    Renamed,        ///< the file played now carries the heard name
    HeardElsewhere, ///< another workstation gave it the heard name first
    Gone,           ///< neither name is there (the purge removed it)
    NewerCopy,      ///< the file under the new name is not the one played: it stays new
    HeardNameTaken, ///< another message holds the heard name: the one played stays new
    Busy,           ///< the file is held open (being played elsewhere): it stays new
    Failed,         ///< the file system refused; `error` says why
};

struct HeardMoveResult {
    HeardMoveResult() = default;
    HeardMoveResult(HeardMove o, int e = 0) : outcome(o), error(e) {}

    HeardMove outcome = HeardMove::Failed;
    int error = 0;  ///< errno of a failure
    QString parked; ///< a file left under a parking name (see isParkedName)
};

/// Gives the file `newName`.vox of `folder` (ending with "/") the name
/// `heardName`.vox, provided it is still the file described by `played` (as
/// it was when its play began; an unknown `played` skips that check). Never
/// replaces another file, and lets the server settle who marks a message
/// when two workstations do it at once:
/// - on a local disk, a rename that the kernel refuses when the heard name
///   exists;
/// - on a network folder (and a disk without such a rename), the file is
///   first renamed to a parking name unique to this workstation: only one
///   workstation can win that rename, the file vanishes for the others. Then
///   it takes the heard name when that is free, else its new name again.
/// A heard name that holds the same bytes (a copy of this very message) lets
/// the new name go. A mark that stopped between its two renames is finished
/// by settleParkedMessage().
HeardMoveResult moveToHeardName(const QString &folder, const QString &newName,
                                const QString &heardName, const FileFacts &played,
                                MessageFileSystem &fs = messageFileSystem());

/// Where a new message is just before its play, as the server shows it.
enum class MessagePlace {
    New,         ///< still under its new name
    Heard,       ///< under its heard name: another workstation heard it
    BeingMarked, ///< parked by another workstation's mark in progress
    Gone,        ///< under neither name (the purge removed it)
};

/// Looks for the message `newName`.vox of `folder` under its new name, its
/// heard name `heardName` and a parking name. A name listed through a
/// network folder's cache may be gone on the server: it is looked up there.
MessagePlace locateMessage(const QString &folder, const QString &newName, const QString &heardName,
                           MessageFileSystem &fs = messageFileSystem());

/// Whether `fileName` is a message parked by a mark in progress: the
/// message's new name, ".heard-", and the parking workstation's token. Its
/// base name is still the message's new name, so the listing keeps it.
bool isParkedName(const QString &fileName);

/// What settleParkedMessage() did.
enum class ParkedSettle {
    Finished,   ///< it took its heard name
    Restored,   ///< the heard name was taken: it is back under its new name
    Gone,       ///< another workstation settled it first
    LeftParked, ///< both names taken: it stays parked (under `parked`)
    Failed,     ///< the file system refused
};

struct ParkedSettleResult {
    ParkedSettleResult() = default;
    ParkedSettleResult(ParkedSettle o, int e = 0, QString p = QString())
        : outcome(o), error(e), parked(std::move(p))
    {
    }

    ParkedSettle outcome = ParkedSettle::Failed;
    int error = 0;
    QString parked; ///< where it stays when LeftParked
};

/// Finishes the mark of a message left parked under `parkedFile` (a
/// workstation stopped between the two renames): it takes its heard name,
/// or its new name again when the heard name is taken. Only the workstation
/// that wins the first rename (to its own parking name) goes on.
ParkedSettleResult settleParkedMessage(const QString &folder, const QString &parkedFile,
                                       MessageFileSystem &fs = messageFileSystem());

} // namespace VNOrvak

#pragma once

#include "heard_rename.h"

namespace VNOrvak
{

/// Gives the heard message `heardName`.vox of `folder` (ending with "/") its
/// new name `newName`.vox again: an administrator's "mark new". The same
/// rename as moveToHeardName() with the two names' roles swapped, so the same
/// rules hold: no other file is ever replaced or removed, a copy of the same
/// bytes under the new name lets the heard name go, and when two programs
/// mark at once the server lets exactly one rename win. The outcomes read
/// with the roles swapped: HeardElsewhere means the message already has its
/// new name (marked new elsewhere), HeardNameTaken that another message holds
/// the new name. A mark that stops between its two renames leaves the file
/// parked under "<heardName>.heard-..."; the polls put it back under its
/// heard name, as it was.
HeardMoveResult moveToNewName(const QString &folder, const QString &heardName,
                              const QString &newName, MessageFileSystem &fs = messageFileSystem());

} // namespace VNOrvak

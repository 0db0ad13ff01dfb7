#include "new_rename.h"

namespace VNOrvak
{

HeardMoveResult moveToNewName(const QString &folder, const QString &heardName,
                              const QString &newName, MessageFileSystem &fs)
{
    // No file facts: the one under the heard name now is the one to mark.
    return moveToHeardName(folder, heardName, newName, FileFacts(), fs);
}

} // namespace VNOrvak

#include "heard_rename.h"

#include "shared/clock.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <atomic>
#include <cerrno>

namespace VNOrvak
{

namespace
{

constexpr QStringView kParkMark = u".heard-";
constexpr QStringView kClaimMark = u".vnorvak-claim-";
// A claim is held for one look and one rename: milliseconds. Another
// workstation's claim is waited for this long before the move gives up.
constexpr int kClaimWaitMs = 2000;
constexpr int kClaimPauseMs = 10;
// A claim this much older than the server's present time was left by a
// workstation that stopped while holding it.
constexpr qint64 kStaleClaimNs = qint64(30) * 1000000000;

QString voxPath(const QString &folder, const QString &name)
{
    return folder + name + u".vox";
}

// A token unique to this workstation and call: host, process and a count, in
// letters, digits and "-" only, which every share accepts.
QString workstationToken()
{
    static std::atomic<quint64> count{0};
    QString host;
    for (const QChar c : QSysInfo::machineHostName().left(24))
        host += (c.isLetterOrNumber() && c.unicode() < 128) ? c : u'-';
    if (host.isEmpty())
        host = QStringLiteral("ws");
    return host + u'-' + QString::number(QCoreApplication::applicationPid()) + u'-' +
           QString::number(++count);
}

QString parkingName(const QString &newName)
{
    return newName + kParkMark + workstationToken();
}

// The right to give a file the name `target` by a look and then a rename,
// where the file system cannot refuse a rename onto an existing name. Two
// messages whose names differ in letter case alone take the same name on a
// share that ignores case; each would find it free and the second rename
// would replace the first file. The claim is created in one step that the
// server refuses when the name exists, so one holder at a time has it. It
// is named after the target in capitals: the twins' claims are then the very
// same name, which the server's own disk refuses to create twice (a share
// that folds case over a disk that keeps it checks other cases by a look of
// its own, which two clients can pass at once).
class NameClaim
{
public:
    NameClaim(MessageFileSystem &fs, const QString &target)
        : m_fs(fs), m_folder(target.left(target.lastIndexOf(u'/') + 1)),
          m_path(m_folder + kClaimMark + target.mid(m_folder.size()).toUpper())
    {
    }
    ~NameClaim()
    {
        if (!m_held)
            return;
        // An SMB server refuses to remove a name another client has open
        // for a moment (to read its age): try again shortly.
        modVNQRN::Clock &clock = modVNQRN::appClock();
        for (int i = 0; m_fs.removeClaim(m_path) == EBUSY && i < 50; ++i)
            clock.sleepMs(kClaimPauseMs);
    }
    NameClaim(const NameClaim &) = delete;
    NameClaim &operator=(const NameClaim &) = delete;

    // 0 once held; EBUSY when another workstation held it throughout the
    // wait; else the error of the file system.
    int acquire()
    {
        modVNQRN::Clock &clock = modVNQRN::appClock();
        const qint64 start = clock.monotonicMs();
        bool staleLooked = false;
        for (;;) {
            const int e = m_fs.createClaim(m_path);
            if (e == 0) {
                m_held = true;
                return 0;
            }
            // An SMB server refuses a name whose removal by another client
            // is under way (EIO through smbnetfs) until it is gone.
            if (e != EEXIST && e != EIO && e != EBUSY)
                return e;
            if (e == EEXIST && !staleLooked) {
                staleLooked = true;
                if (removeIfStale())
                    continue;
            }
            if (clock.monotonicMs() - start >= kClaimWaitMs)
                return EBUSY;
            clock.sleepMs(kClaimPauseMs);
        }
    }

private:
    // A claim whose holder stopped (killed between its look and its
    // rename) would block the name for ever. Its age is told by the server's
    // times alone: the claim's modification time against that of a claim
    // created now. Workstations' clocks differ, and a monotonic clock is
    // not shared between machines at all.
    bool removeIfStale()
    {
        qint64 claimNs = 0;
        if (const int e = m_fs.modifiedNs(m_path, claimNs))
            return e == ENOENT; // released meanwhile: try again at once
        const QString probe = m_folder + kClaimMark + u"now-" + workstationToken();
        if (m_fs.createClaim(probe) != 0)
            return false;
        qint64 nowNs = 0;
        const int e = m_fs.modifiedNs(probe, nowNs);
        m_fs.removeClaim(probe);
        if (e != 0 || nowNs - claimNs < kStaleClaimNs)
            return false;
        // Taken away by a rename first, which only one workstation wins;
        // then removed only if it is still the claim judged stale.
        const QString taken = m_folder + kClaimMark + u"stale-" + workstationToken();
        if (m_fs.rename(m_path, taken) != 0)
            return true;
        qint64 takenNs = 0;
        if (m_fs.modifiedNs(taken, takenNs) == 0 && takenNs != claimNs) {
            m_fs.rename(taken, m_path); // a fresh claim: its holder keeps it
            return false;
        }
        m_fs.removeClaim(taken);
        return true;
    }

    MessageFileSystem &m_fs;
    QString m_folder;
    QString m_path;
    bool m_held = false;
};

// The file under the new name is the one played. On a local disk the inode
// tells; a network folder's inode numbers are made up by the client, so the
// size and modification time must do there.
bool sameFile(const FileFacts &played, const FileFacts &now, bool local)
{
    if (!played.known())
        return true;
    if (played.size != now.size || played.mtimeNs != now.mtimeNs)
        return false;
    return !local || (played.device == now.device && played.inode == now.inode);
}

// The two files look like one message: same size and modification time (and
// the same inode on a local disk). Enough to tell a message heard elsewhere
// from a heard name held by another message; never enough to remove a file.
bool looksSame(const FileFacts &a, const FileFacts &b, bool local)
{
    if (a.size != b.size || a.mtimeNs != b.mtimeNs)
        return false;
    return !local || (a.device == b.device && a.inode == b.inode);
}

class Mover
{
public:
    Mover(const QString &folder, const QString &newName, const QString &heardName,
          MessageFileSystem &fs)
        : m_folder(folder), m_newName(newName), m_newPath(voxPath(folder, newName)),
          m_heardPath(voxPath(folder, heardName)), m_fs(fs), m_local(fs.isLocal(folder))
    {
    }

    HeardMoveResult move(const FileFacts &played)
    {
        FileFacts now;
        if (const int e = m_fs.stat(m_newPath, now))
            return e == ENOENT ? whereabouts() : failed(e);
        if (!sameFile(played, now, m_local))
            return {HeardMove::NewerCopy};
        FileFacts heard;
        const int h = m_fs.stat(m_heardPath, heard);
        if (h == 0)
            return bothNamesTaken();
        if (h == EISDIR) // a folder, say: the name is taken, though not by a message
            return failed(EEXIST);
        if (h != ENOENT)
            return failed(h);
        if (m_local) {
            const int e = m_fs.renameNoReplace(m_newPath, m_heardPath);
            if (e == 0)
                return {HeardMove::Renamed};
            if (e != EINVAL && e != ENOSYS)
                return afterRefusal(e);
        }
        return moveByParking(played);
    }

    // Renames `from` (a file this workstation holds under a name of its
    // own) to `to` unless `to` exists. Without a no-replace rename the look
    // and the rename are two steps; what could slip in between is a message
    // whose name differs from `to` in letter case alone, being marked at the
    // same instant, on a share that ignores case: there the claim on the
    // name keeps it out. Where case counts, no other message takes `to`.
    int moveIfFree(const QString &from, const QString &to)
    {
        if (m_local) {
            const int e = m_fs.renameNoReplace(from, to);
            if (e != EINVAL && e != ENOSYS)
                return e;
        }
        NameClaim claim(m_fs, to);
        if (ignoresCase(from)) {
            if (const int c = claim.acquire())
                return c;
        }
        FileFacts facts;
        const int e = m_fs.stat(to, facts);
        if (e == 0)
            return EEXIST;
        if (e != ENOENT)
            return e;
        return m_fs.rename(from, to);
    }

    const QString &newPath() const { return m_newPath; }
    const QString &heardPath() const { return m_heardPath; }

private:
    // Whether the folder finds the file `held` under its name in other
    // letter case. Asked once; a share keeps its rule.
    bool ignoresCase(const QString &held)
    {
        if (m_ignoresCase < 0) {
            const qsizetype at = held.lastIndexOf(u'/') + 1;
            QString other = held;
            for (qsizetype i = at; i < other.size(); ++i) {
                const QChar c = other[i];
                other[i] = c.isUpper() ? c.toLower() : c.toUpper();
            }
            FileFacts facts;
            m_ignoresCase = other != held && m_fs.stat(other, facts) == 0 ? 1 : 0;
        }
        return m_ignoresCase == 1;
    }

    HeardMoveResult failed(int e) const
    {
        return {e == EBUSY ? HeardMove::Busy : HeardMove::Failed, e};
    }

    // The file is no longer under its new name: heard elsewhere when its
    // heard name is there, or when another workstation has it parked on its
    // way there; else purged.
    HeardMoveResult whereabouts()
    {
        FileFacts heard;
        const int e = m_fs.stat(m_heardPath, heard);
        if (e == 0)
            return {HeardMove::HeardElsewhere};
        if (e != ENOENT)
            return failed(e);
        // Looked at in this order, a mark by parking that ends in between
        // is seen at one of its steps.
        if (m_fs.hasFileStartingWith(m_folder, m_newName + kParkMark) ||
            m_fs.stat(m_heardPath, heard) == 0)
            return {HeardMove::HeardElsewhere};
        return {HeardMove::Gone};
    }

    // Both names show a file. When they hold the one message (a heard copy
    // of the same bytes, or one file under two names) dropping the new name
    // loses nothing; a look taken just before the
    // removal keeps a newer message that took the name meanwhile. Anything
    // else under the heard name is another message.
    HeardMoveResult bothNamesTaken()
    {
        FileFacts now, heard;
        int e = m_fs.stat(m_newPath, now);
        if (e == 0)
            e = m_fs.stat(m_heardPath, heard);
        if (e == ENOENT)
            return whereabouts();
        if (e != 0)
            return failed(e);
        if (!(m_local && now.device == heard.device && now.inode == heard.inode)) {
            // The contents tell, read from the server: a client's cache may
            // still show a new name that the other mark has just removed.
            QByteArray mine, theirs;
            if (const int r = m_fs.read(m_newPath, mine))
                return r == ENOENT ? whereabouts() : failed(r);
            if (const int r = m_fs.read(m_heardPath, theirs))
                return failed(r);
            if (mine != theirs)
                return {HeardMove::HeardNameTaken};
        }
        const int u = m_fs.unlink(m_newPath);
        if (u == ENOENT)
            return whereabouts();
        return u == 0 ? HeardMoveResult{HeardMove::Renamed} : failed(u);
    }

    // The rename was refused: tell a message heard elsewhere (its new name
    // is gone) from a heard name held by another message.
    HeardMoveResult afterRefusal(int e)
    {
        if (e != EEXIST && e != ENOENT && e != ENOTEMPTY)
            return failed(e);
        FileFacts now;
        const int n = m_fs.stat(m_newPath, now);
        if (n == ENOENT)
            return whereabouts();
        if (n != 0)
            return failed(n);
        FileFacts heard;
        const int h = m_fs.stat(m_heardPath, heard);
        // The server has the heard name, this client's cache does not show
        // it yet: the one marking it just now is another workstation.
        if (h == ENOENT)
            return {HeardMove::HeardElsewhere};
        if (h != 0)
            return failed(h);
        if (looksSame(now, heard, m_local))
            return {HeardMove::HeardElsewhere};
        QByteArray mine;
        if (m_fs.read(m_newPath, mine) == ENOENT)
            return whereabouts();
        return {HeardMove::HeardNameTaken};
    }

    HeardMoveResult moveByParking(const FileFacts &played)
    {
        const QString parkedPath = voxPath(m_folder, parkingName(m_newName));
        if (const int e = m_fs.rename(m_newPath, parkedPath))
            return e == ENOENT ? whereabouts() : failed(e);
        // This workstation holds the message now; no other can rename it.
        // (An SMB client was seen to answer a rename that another client
        // had won with success: then the parked name holds nothing.)
        FileFacts parked;
        if (const int e = m_fs.stat(parkedPath, parked))
            return e == ENOENT ? whereabouts() : unpark(parkedPath, {HeardMove::Failed, e});
        if (!sameFile(played, parked, m_local))
            return unpark(parkedPath, {HeardMove::NewerCopy});
        const int e = moveIfFree(parkedPath, m_heardPath);
        if (e == 0)
            return {HeardMove::Renamed};
        if (e == ENOENT)
            return whereabouts();
        return unpark(parkedPath,
                      e == EEXIST ? HeardMoveResult{HeardMove::HeardNameTaken} : failed(e));
    }

    HeardMoveResult unpark(const QString &parkedPath, HeardMoveResult result)
    {
        const int e = moveIfFree(parkedPath, m_newPath);
        if (e != 0 && e != ENOENT)
            result.parked = parkedPath.mid(m_folder.size());
        return result;
    }

    QString m_folder;
    QString m_newName;
    QString m_newPath;
    QString m_heardPath;
    MessageFileSystem &m_fs;
    bool m_local;
    int m_ignoresCase = -1; // not asked yet
};

} // namespace

HeardMoveResult moveToHeardName(const QString &folder, const QString &newName,
                                const QString &heardName, const FileFacts &played,
                                MessageFileSystem &fs)
{
    return Mover(folder, newName, heardName, fs).move(played);
}

MessagePlace locateMessage(const QString &folder, const QString &newName, const QString &heardName,
                           MessageFileSystem &fs)
{
    if (fs.lookUp(voxPath(folder, newName)) == 0)
        return MessagePlace::New;
    if (fs.lookUp(voxPath(folder, heardName)) == 0)
        return MessagePlace::Heard;
    // Parked by another workstation's mark: it ends within moments (a
    // rename, or a claim's wait and a rename), under either name.
    modVNQRN::Clock &clock = modVNQRN::appClock();
    const qint64 start = clock.monotonicMs();
    while (fs.hasFileStartingWith(folder, newName + kParkMark)) {
        if (clock.monotonicMs() - start >= kClaimWaitMs + 1000)
            return MessagePlace::BeingMarked;
        clock.sleepMs(kClaimPauseMs);
        if (fs.lookUp(voxPath(folder, heardName)) == 0)
            return MessagePlace::Heard;
        if (fs.lookUp(voxPath(folder, newName)) == 0)
            return MessagePlace::New;
    }
    // Looked at once more after the listing: a mark that ended meanwhile
    // left the heard name.
    if (fs.lookUp(voxPath(folder, heardName)) == 0)
        return MessagePlace::Heard;
    return MessagePlace::Gone;
}

bool isParkedName(const QString &fileName)
{
    const qsizetype at = fileName.indexOf(kParkMark);
    return at > 0 && fileName.indexOf(u'.') == at;
}

ParkedSettleResult settleParkedMessage(const QString &folder, const QString &parkedFile,
                                       MessageFileSystem &fs)
{
    const QString newName = parkedFile.left(parkedFile.indexOf(u'.'));
    const QString heardName = u'M' + newName.mid(1);
    Mover mover(folder, newName, heardName, fs);
    // Taken over first: of several workstations settling it at once, only
    // the one whose rename succeeds goes on.
    const QString mine = parkingName(newName) + u".vox";
    if (const int e = fs.rename(folder + parkedFile, folder + mine))
        return {e == ENOENT ? ParkedSettle::Gone : ParkedSettle::Failed, e};
    if (mover.moveIfFree(folder + mine, mover.heardPath()) == 0)
        return {ParkedSettle::Finished};
    if (mover.moveIfFree(folder + mine, mover.newPath()) == 0)
        return {ParkedSettle::Restored};
    return {ParkedSettle::LeftParked, 0, mine};
}

} // namespace VNOrvak

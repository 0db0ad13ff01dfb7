#pragma once

#include <QByteArray>
#include <QString>

namespace VNOrvak
{

/// What the file system shows of one file: enough to tell the file that was
/// played from a newer one that has since taken its name.
struct FileFacts {
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0;
    qint64 size = -1; ///< -1: nothing known
    qint64 mtimeNs = 0;

    bool known() const { return size >= 0; }
};

/// The few file operations that marking a message heard needs, each one call
/// of the file system answering 0 or the error number (errno). The product
/// uses the platform's own; tests put a view in front (a folder that ignores
/// letter case, one without links) to see the marking on such shares.
class MessageFileSystem
{
public:
    virtual ~MessageFileSystem();

    /// The facts of an ordinary file (EISDIR for anything else).
    virtual int stat(const QString &path, FileFacts &facts);
    /// Whether an ordinary file is there (0, ENOENT, EISDIR...) as the
    /// server says: a network folder's client may answer a status from its
    /// cache (sshfs keeps one for 20 s) for a file another workstation has
    /// renamed meanwhile, so the file is opened. (Not for every status: on
    /// an SMB share a file held open cannot be renamed by anyone.)
    virtual int lookUp(const QString &path);
    /// A rename that the file system refuses (EEXIST) when `to` exists;
    /// EINVAL or ENOSYS where it cannot refuse in the same step.
    virtual int renameNoReplace(const QString &from, const QString &to);
    virtual int rename(const QString &from, const QString &to);
    virtual int unlink(const QString &path);
    /// Creates the claim `path` (an empty folder), refused (EEXIST) when a
    /// name of that name exists. The server decides, for every client at
    /// once: a share that ignores letter case refuses a name that differs
    /// in case alone. (A folder, as creating a file exclusively through the
    /// SMB client smbnetfs is no such step: two clients both succeed.)
    virtual int createClaim(const QString &path);
    /// Removes the claim `path`.
    virtual int removeClaim(const QString &path);
    /// The modification time of `path`, whatever its kind, as the server
    /// keeps it.
    virtual int modifiedNs(const QString &path, qint64 &ns);
    /// The whole contents of a file.
    virtual int read(const QString &path, QByteArray &contents);
    /// Whether `folder` holds a file whose name starts with `prefix`.
    virtual bool hasFileStartingWith(const QString &folder, const QString &prefix);
    /// Whether `folder` is on a local disk: there a no-replace rename is
    /// settled by this machine's kernel for every program that uses the
    /// folder, and inode numbers tell files apart. On a network folder the
    /// server settles conflicts, and a client's answers may come from its
    /// cache.
    virtual bool isLocal(const QString &folder);
};

/// The file system in use on this thread: the one installed, else the platform's.
MessageFileSystem &messageFileSystem();
/// Installs `fileSystem` (not owned; nullptr goes back to the platform's).
void setMessageFileSystem(MessageFileSystem *fileSystem);

} // namespace VNOrvak

#include "message_file_system.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace VNOrvak
{

namespace
{

int result(int rc)
{
    return rc == 0 ? 0 : errno;
}

thread_local MessageFileSystem *t_installed = nullptr;

// File systems whose data lives on this machine's disks or memory (statfs
// magic numbers). Everything else (FUSE, NFS, SMB, ...) counts as a network
// folder.
bool isLocalType(unsigned long type)
{
    switch (type) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x2FC12FC1: // zfs
    case 0x794C7630: // overlayfs
    case 0x3153464A: // jfs
    case 0x52654973: // reiserfs
        return true;
    default:
        return false;
    }
}

} // namespace

MessageFileSystem::~MessageFileSystem() = default;

int MessageFileSystem::stat(const QString &path, FileFacts &facts)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EISDIR;
    facts.device = static_cast<quint64>(st.st_dev);
    facts.inode = static_cast<quint64>(st.st_ino);
    facts.links = static_cast<quint64>(st.st_nlink);
    facts.size = static_cast<qint64>(st.st_size);
    facts.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return 0;
}

int MessageFileSystem::renameNoReplace(const QString &from, const QString &to)
{
    return result(::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                              QFile::encodeName(to).constData(), RENAME_NOREPLACE));
}

int MessageFileSystem::rename(const QString &from, const QString &to)
{
    return result(::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()));
}

int MessageFileSystem::unlink(const QString &path)
{
    return result(::unlink(QFile::encodeName(path).constData()));
}

int MessageFileSystem::lookUp(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EISDIR;
    // Opening asks the server; a file that cannot be opened for reading
    // (no permission) is taken as the status shows it.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ENOENT : 0;
    ::close(fd);
    return 0;
}

int MessageFileSystem::createClaim(const QString &path)
{
    return result(::mkdir(QFile::encodeName(path).constData(), 0755));
}

int MessageFileSystem::removeClaim(const QString &path)
{
    return result(::rmdir(QFile::encodeName(path).constData()));
}

int MessageFileSystem::modifiedNs(const QString &path, qint64 &ns)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno;
    ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return 0;
}

int MessageFileSystem::read(const QString &path, QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return errno ? errno : EIO;
    contents = file.readAll();
    return file.error() == QFileDevice::NoError ? 0 : EIO;
}

bool MessageFileSystem::hasFileStartingWith(const QString &folder, const QString &prefix)
{
    DIR *dir = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder));
    if (!dir)
        return false;
    const QByteArray start = QFile::encodeName(prefix);
    bool found = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, start.constData(), size_t(start.size())) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool MessageFileSystem::isLocal(const QString &folder)
{
    struct statfs fs;
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    return isLocalType(static_cast<unsigned long>(fs.f_type));
}

MessageFileSystem &messageFileSystem()
{
    static thread_local MessageFileSystem platform;
    return t_installed ? *t_installed : platform;
}

void setMessageFileSystem(MessageFileSystem *fileSystem)
{
    t_installed = fileSystem;
}

} // namespace VNOrvak

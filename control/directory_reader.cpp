#include "directory_reader.h"

#include "shared/error.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

Error readingError(int err)
{
    return Error(err == EACCES || err == EPERM ? modVNQRN::errPermissionDenied
                                               : modVNQRN::errPathFileAccess);
}

DirectoryReader::Kind kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return DirectoryReader::Kind::File;
    case DT_LNK:
        return DirectoryReader::Kind::Link;
    case DT_UNKNOWN:
        return DirectoryReader::Kind::Unknown;
    default:
        return DirectoryReader::Kind::Other;
    }
}

} // namespace

DirectoryReader::~DirectoryReader() = default;

int DirectoryReader::createFile(const char *)
{
    return EROFS;
}

bool DirectoryReader::fileSystemOf(const QByteArray &, FileSystem &)
{
    return false;
}

FileSystemDirectoryReader::~FileSystemDirectoryReader()
{
    close();
}

bool FileSystemDirectoryReader::open(const QByteArray &folder)
{
    close();
    DIR *dir = opendir(folder.constData());
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        throw readingError(errno);
    }
    m_dir = dir;
    return true;
}

bool FileSystemDirectoryReader::next(const char *&name, Kind &kind)
{
    if (!m_dir)
        return false;
    errno = 0;
    const dirent *entry = readdir(static_cast<DIR *>(m_dir));
    if (!entry) {
        if (errno != 0)
            throw readingError(errno);
        return false;
    }
    name = entry->d_name;
    kind = kindOf(entry->d_type);
    return true;
}

DirectoryReader::Status FileSystemDirectoryReader::status(const char *name)
{
    Status result;
    struct stat st;
    if (m_dir && fstatat(dirfd(static_cast<DIR *>(m_dir)), name, &st, 0) == 0) {
        result.exists = true;
        result.regular = S_ISREG(st.st_mode);
        result.modifiedSecs = static_cast<qint64>(st.st_mtim.tv_sec);
    }
    return result;
}

int FileSystemDirectoryReader::createFile(const char *name)
{
    if (!m_dir)
        return EBADF;
    const int fd = openat(dirfd(static_cast<DIR *>(m_dir)), name,
                          O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

bool FileSystemDirectoryReader::fileSystemOf(const QByteArray &folder, FileSystem &fileSystem)
{
    struct statfs fs;
    struct stat self;
    struct stat parent;
    // ".." of a folder reached through a link is the parent of its target.
    if (::statfs(folder.constData(), &fs) != 0 || ::stat(folder.constData(), &self) != 0 ||
        ::stat(QByteArray(folder + "/..").constData(), &parent) != 0)
        return false;
    fileSystem.type = static_cast<quint64>(fs.f_type);
    fileSystem.mountPoint = self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
    return true;
}

void FileSystemDirectoryReader::close()
{
    if (m_dir) {
        closedir(static_cast<DIR *>(m_dir));
        m_dir = nullptr;
    }
}

} // namespace VNOrvak

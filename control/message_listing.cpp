#include "message_listing.h"

#include "shared/error.h"

#include <QFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#else
#include <QDirIterator>
#include <QFileInfo>
#endif

using modVNQRN::Error;

namespace VNOrvak
{

namespace
{

enum class Group { None, New, Heard };

template <typename Char> Group groupOf(Char first)
{
    switch (first) {
    case 'N':
    case 'n':
        return Group::New;
    case 'M':
    case 'm':
        return Group::Heard;
    default:
        return Group::None;
    }
}

} // namespace

#ifdef Q_OS_UNIX

namespace
{

struct RawFile {
    QByteArray name;
    qint64 modifiedSecs;
};

class DirHandle
{
public:
    explicit DirHandle(DIR *dir) : m_dir(dir) {}
    ~DirHandle()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DirHandle(const DirHandle &) = delete;
    DirHandle &operator=(const DirHandle &) = delete;
    DIR *get() const { return m_dir; }

private:
    DIR *m_dir;
};

Error listingError(int err)
{
    return Error(err == EACCES || err == EPERM ? modVNQRN::errPermissionDenied
                                               : modVNQRN::errPathFileAccess);
}

QList<ListedFile> decoded(std::vector<RawFile> &raw)
{
    // Byte order of UTF-8 names is code-point order.
    std::sort(raw.begin(), raw.end(),
              [](const RawFile &a, const RawFile &b) { return a.name < b.name; });
    QList<ListedFile> files;
    files.reserve(static_cast<qsizetype>(raw.size()));
    for (const RawFile &f : raw)
        files.append({QFile::decodeName(f.name), f.modifiedSecs});
    return files;
}

} // namespace

MessageListing ListMessageFiles(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DirHandle dir(opendir(path.constData()));
    if (!dir.get()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            MessageListing none;
            none.folderMissing = true;
            return none;
        }
        throw listingError(errno);
    }
    const int dirFd = dirfd(dir.get());
    std::vector<RawFile> newFiles;
    std::vector<RawFile> heardFiles;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw listingError(errno);
            break;
        }
        const Group group = groupOf(entry->d_name[0]);
        if (group == Group::None)
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        qint64 secs = ListedFile::kNoTime;
        struct stat st;
        if (fstatat(dirFd, entry->d_name, &st, 0) == 0) {
            if (!S_ISREG(st.st_mode))
                continue;
            secs = static_cast<qint64>(st.st_mtim.tv_sec);
        } else if (entry->d_type == DT_LNK) {
            continue; // a link to nothing is not a message file
        }
        // A file that vanished since readdir stays listed without a time: the
        // store reports it and goes on.
        (group == Group::New ? newFiles : heardFiles).push_back({QByteArray(entry->d_name), secs});
    }
    return {decoded(newFiles), decoded(heardFiles)};
}

#else

namespace
{

bool codePointLess(const ListedFile &a, const ListedFile &b)
{
    const QList<uint> x = a.name.toUcs4();
    const QList<uint> y = b.name.toUcs4();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}

} // namespace

MessageListing ListMessageFiles(const QString &folder)
{
    const QString path = folder.isEmpty() ? QStringLiteral(".") : folder;
    const QFileInfo info(path);
    if (!info.exists() || !info.isDir()) {
        MessageListing none;
        none.folderMissing = true;
        return none;
    }
    if (!info.isReadable())
        throw Error(modVNQRN::errPermissionDenied);
    MessageListing listing;
    QDirIterator it(path, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QFileInfo file = it.fileInfo();
        const QString name = file.fileName();
        const Group group = groupOf(name.isEmpty() ? u'\0' : name[0].unicode());
        if (group == Group::None)
            continue;
        const QDateTime modified = file.lastModified();
        const qint64 secs = modified.isValid() ? modified.toSecsSinceEpoch() : ListedFile::kNoTime;
        (group == Group::New ? listing.newFiles : listing.heardFiles).append({name, secs});
    }
    std::sort(listing.newFiles.begin(), listing.newFiles.end(), codePointLess);
    std::sort(listing.heardFiles.begin(), listing.heardFiles.end(), codePointLess);
    return listing;
}

#endif

} // namespace VNOrvak

#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace VNOrvak
{

/// How the listing reads a messages folder: one pass over its entries, and
/// the status of the entries it asks about. The file system's reader is the
/// product's; tests put another in its place to count the calls a poll makes.
class DirectoryReader
{
public:
    /// What the folder's own entry says of a name, before any status is read.
    enum class Kind {
        File,    ///< an ordinary file
        Link,    ///< a symbolic link: its target decides
        Unknown, ///< the file system does not say
        Other,   ///< a sub-folder, a device, a socket...
    };

    /// What the folder's file system is, to tell the mount point of a share
    /// that is not mounted from the share itself.
    struct FileSystem {
        quint64 type = 0;        ///< the file system's kind (statfs f_type)
        bool mountPoint = false; ///< the folder is the root of its file system
        bool operator==(const FileSystem &) const = default;
    };

    /// The status of one entry.
    struct Status {
        bool exists = false;     ///< false when it vanished or is a link to nothing
        bool regular = false;    ///< an ordinary file (after following a link)
        qint64 modifiedSecs = 0; ///< last modification, whole seconds since 1970 (UTC)
    };

    virtual ~DirectoryReader();

    /// Starts reading `folder` (an encoded path). False when it does not exist
    /// or is no folder; throws modVNQRN::Error when it cannot be read.
    virtual bool open(const QByteArray &folder) = 0;
    /// The next entry's name (valid until the next call) and kind; false at
    /// the end. Throws modVNQRN::Error when the folder cannot be read on.
    virtual bool next(const char *&name, Kind &kind) = 0;
    /// The status of the entry `name` of the open folder, links followed.
    virtual Status status(const char *name) = 0;
    /// Ends the reading (also done by open() and by the destructor).
    virtual void close() = 0;
    /// Creates the empty file `name` in the open folder unless it exists:
    /// 0 or the error number. Readers that cannot write refuse (EROFS).
    virtual int createFile(const char *name);
    /// The file system that `folder` (an encoded path, links followed) is on;
    /// false when it cannot be told (readers that cannot tell always say so).
    virtual bool fileSystemOf(const QByteArray &folder, FileSystem &fileSystem);
};

/// The reader of the local file system: readdir() and fstatat().
class FileSystemDirectoryReader final : public DirectoryReader
{
public:
    FileSystemDirectoryReader() = default;
    ~FileSystemDirectoryReader() override;
    FileSystemDirectoryReader(const FileSystemDirectoryReader &) = delete;
    FileSystemDirectoryReader &operator=(const FileSystemDirectoryReader &) = delete;

    bool open(const QByteArray &folder) override;
    bool next(const char *&name, Kind &kind) override;
    Status status(const char *name) override;
    void close() override;
    int createFile(const char *name) override;
    bool fileSystemOf(const QByteArray &folder, FileSystem &fileSystem) override;

private:
    void *m_dir = nullptr; // DIR *
};

} // namespace VNOrvak

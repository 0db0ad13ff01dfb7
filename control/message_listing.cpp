#include "message_listing.h"

#include "message_name.h"

#include "shared/environment.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace VNOrvak
{

namespace
{

bool takenByPatterns(char first)
{
    return first == 'N' || first == 'n' || first == 'M' || first == 'm';
}

// Ends the reading however read() leaves.
class Closer
{
public:
    explicit Closer(DirectoryReader &reader) : m_reader(reader) {}
    ~Closer() { m_reader.close(); }
    Closer(const Closer &) = delete;
    Closer &operator=(const Closer &) = delete;

private:
    DirectoryReader &m_reader;
};

QString folderPath(const QString &folder)
{
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

using FileSystem = DirectoryReader::FileSystem;

// The memory of the folders' file systems is this workstation's own: without
// a local folder it lasts as long as the reader.
QString fileSystemsFile()
{
    return modVNQRN::gsLocalPath.isEmpty()
               ? QString()
               : modVNQRN::gsLocalPath + QLatin1StringView(kFolderFileSystems);
}

QString folderKey(const QString &folder)
{
    return QDir::cleanPath(QDir(folderPath(folder)).absolutePath());
}

// More folders than a workstation ever uses: the oldest go first.
constexpr int kMaxRememberedFolders = 64;
constexpr qint64 kMaxFileSystemsBytes = 64 * 1024;

QList<QByteArray> rememberedLines(const QString &file)
{
    QFile in(file);
    if (file.isEmpty() || in.size() > kMaxFileSystemsBytes || !in.open(QIODevice::ReadOnly))
        return {};
    return in.readAll().split('\n');
}

std::optional<FileSystem> parseLine(const QByteArray &line, const QByteArray &key)
{
    const qsizetype first = line.indexOf(' ');
    const qsizetype second = line.indexOf(' ', first + 1);
    if (first <= 0 || second != first + 2 || line.mid(second + 1) != key)
        return std::nullopt;
    bool ok = false;
    FileSystem fileSystem;
    fileSystem.type = line.left(first).toULongLong(&ok, 16);
    const char mountPoint = line[first + 1];
    if (!ok || (mountPoint != '0' && mountPoint != '1'))
        return std::nullopt;
    fileSystem.mountPoint = mountPoint == '1';
    return fileSystem;
}

std::optional<FileSystem> recalledFileSystem(const QString &file, const QString &folder)
{
    const QByteArray key = QFile::encodeName(folderKey(folder));
    for (const QByteArray &line : rememberedLines(file)) {
        if (auto fileSystem = parseLine(line, key))
            return fileSystem;
    }
    return std::nullopt;
}

// Written whole under a name of its own and renamed: a reader never sees half
// of it. A failure (local folder full or read-only) leaves the previous
// memory: this one only tells an outage better, it never hides one.
void rememberFileSystem(const QString &file, const QString &folder, const FileSystem &fileSystem)
{
    const QByteArray key = QFile::encodeName(folderKey(folder));
    if (file.isEmpty() || key.contains('\n'))
        return;
    QByteArray text = QByteArray::number(fileSystem.type, 16) + ' ' +
                      (fileSystem.mountPoint ? '1' : '0') + ' ' + key + '\n';
    int kept = 1;
    for (const QByteArray &line : rememberedLines(file)) {
        if (kept < kMaxRememberedFolders && !line.isEmpty() && !parseLine(line, key)) {
            text += line + '\n';
            ++kept;
        }
    }
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size())
        out.commit();
}

} // namespace

MessageFolderReader::MessageFolderReader(DirectoryReader *reader)
    : m_fileSystem(std::make_unique<FileSystemDirectoryReader>())
{
    m_reader = reader ? reader : m_fileSystem.get();
}

MessageFolderReader::~MessageFolderReader() = default;

void MessageFolderReader::setDirectoryReader(DirectoryReader *reader)
{
    m_reader = reader ? reader : m_fileSystem.get();
    m_recalledFolder.clear();
    forget();
}

void MessageFolderReader::forget()
{
    m_folder.clear();
    m_seen.clear();
    m_seenOthers.clear();
    m_listing = {};
}

bool MessageFolderReader::canOpen(const QString &folder)
{
    const bool opened = m_reader->open(QFile::encodeName(folderPath(folder)));
    m_reader->close();
    return opened;
}

MessageListing MessageFolderReader::read(const QString &folder)
{
    using Kind = DirectoryReader::Kind;
    if (!m_reader->open(QFile::encodeName(folderPath(folder)))) {
        forget();
        MessageListing none;
        none.folderMissing = true;
        return none;
    }
    const Closer closer(*m_reader);
    std::vector<Seen> messages;
    messages.reserve(m_seen.size() + 16);
    std::vector<QByteArray> others;
    const char *name = nullptr;
    Kind kind = Kind::Other;
    bool marked = false;
    while (m_reader->next(name, kind)) {
        if (!takenByPatterns(name[0]) || kind == Kind::Other) {
            marked = marked || std::strcmp(name, kFolderMarker) == 0;
            continue;
        }
        const std::size_t size = std::strlen(name);
        const bool message = IsMessageFileName(name, size);
        // An ordinary file of another name needs nothing more than its name.
        if (!message && kind == Kind::File) {
            others.emplace_back(name, static_cast<qsizetype>(size));
            continue;
        }
        const DirectoryReader::Status status = m_reader->status(name);
        if (status.exists ? !status.regular : kind == Kind::Link)
            continue; // a sub-folder or device behind a link, or a link to nothing
        if (!message) {
            others.emplace_back(name, static_cast<qsizetype>(size));
            continue;
        }
        // A file that vanished since the folder was read stays listed
        // without a time: the store reports it and goes on.
        Seen seen;
        std::memcpy(seen.name.data(), name, seen.name.size());
        seen.modifiedSecs = status.exists ? status.modifiedSecs : ListedFile::kNoTime;
        messages.push_back(seen);
    }

    const bool bare = !marked && messages.empty();
    const bool markerLost = bare && m_markerSeen && m_markedFolder == folder;
    const bool elsewhere = bare && !markerLost && onAnotherFileSystem(folder);
    if (markerLost || elsewhere) {
        // The mount point of a share that went away, not an empty folder.
        // The share that comes back gets its marker again if it lost it.
        forget();
        m_markerTriedOnce = false;
        m_fileSystemNoted = false;
        MessageListing none;
        none.notMounted = true;
        none.otherFileSystem = elsewhere;
        return none;
    }
    if (!messages.empty())
        noteFileSystem(folder);
    if (!marked && !messages.empty() && !(m_markerTriedOnce && m_markerTried == folder)) {
        m_markerTriedOnce = true;
        m_markerTried = folder;
        marked = m_reader->createFile(kFolderMarker) == 0;
    }
    if (marked) {
        m_markerSeen = true;
        m_markedFolder = folder;
    }

    if (folder != m_folder || messages != m_seen || others != m_seenOthers) {
        m_listing = build(messages, others);
        m_folder = folder;
        m_seen = std::move(messages);
        m_seenOthers = std::move(others);
    }
    return m_listing;
}

void MessageFolderReader::recall(const QString &folder)
{
    if (m_recalledFolder == folder && !m_recalledFolder.isNull())
        return;
    m_recalledFolder = folder.isNull() ? QStringLiteral("") : folder;
    m_recalled = recalledFileSystem(fileSystemsFile(), folder);
    m_fileSystemNoted = false;
}

bool MessageFolderReader::onAnotherFileSystem(const QString &folder)
{
    recall(folder);
    FileSystem now;
    if (!m_recalled || !m_reader->fileSystemOf(QFile::encodeName(folderPath(folder)), now))
        return false;
    // The bare mount point sits on its parent's file system; a share mounted
    // above the folder takes the folder with it (no folder, no listing).
    return now.type != m_recalled->type || (m_recalled->mountPoint && !now.mountPoint);
}

// Once while the folder keeps its messages: a file system status may be a
// round trip to the server.
void MessageFolderReader::noteFileSystem(const QString &folder)
{
    recall(folder);
    if (m_fileSystemNoted)
        return;
    m_fileSystemNoted = true;
    FileSystem now;
    if (!m_reader->fileSystemOf(QFile::encodeName(folderPath(folder)), now) || m_recalled == now)
        return;
    m_recalled = now;
    rememberFileSystem(fileSystemsFile(), folder, now);
}

MessageListing MessageFolderReader::build(std::vector<Seen> messages,
                                          std::vector<QByteArray> others) const
{
    // New names first, each group in byte order, which is code-point order
    // for UTF-8 names.
    std::sort(messages.begin(), messages.end(), [](const Seen &a, const Seen &b) {
        if (a.name[0] != b.name[0])
            return a.name[0] == 'N';
        return std::memcmp(a.name.data(), b.name.data(), a.name.size()) < 0;
    });
    MessageListing listing;
    const auto split = std::find_if(messages.begin(), messages.end(),
                                    [](const Seen &s) { return s.name[0] != 'N'; });
    listing.newFiles.reserve(split - messages.begin());
    listing.heardFiles.reserve(messages.end() - split);
    // A name the previous listing holds keeps its text: both are in the same
    // order, so one walk along each finds them.
    qsizetype previousNew = 0;
    qsizetype previousHeard = 0;
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        const bool isNew = it < split;
        const QList<ListedFile> &previous = isNew ? m_listing.newFiles : m_listing.heardFiles;
        qsizetype &at = isNew ? previousNew : previousHeard;
        const QLatin1StringView text(it->name.data(), static_cast<qsizetype>(it->name.size()));
        int order = 1;
        while (at < previous.size() && (order = previous[at].name.compare(text)) < 0)
            ++at;
        ListedFile file{order == 0 ? previous[at].name : QString(text), it->modifiedSecs};
        (isNew ? listing.newFiles : listing.heardFiles).append(std::move(file));
    }
    std::sort(others.begin(), others.end());
    listing.otherNames.reserve(static_cast<qsizetype>(others.size()));
    for (const QByteArray &other : others)
        listing.otherNames.append(QFile::decodeName(other));
    return listing;
}

MessageListing ListMessageFiles(const QString &folder)
{
    MessageFolderReader reader;
    return reader.read(folder);
}

} // namespace VNOrvak

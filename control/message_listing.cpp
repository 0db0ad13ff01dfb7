#include "message_listing.h"

#include "message_name.h"

#include <QFile>

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

    if (!marked && messages.empty() && m_markerSeen && m_markedFolder == folder) {
        // The mount point of a share that went away, not an empty folder.
        // The share that comes back gets its marker again if it lost it.
        forget();
        m_markerTriedOnce = false;
        MessageListing none;
        none.notMounted = true;
        return none;
    }
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

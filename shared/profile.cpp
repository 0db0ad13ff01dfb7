#include "profile.h"

#include "clock.h"
#include "error.h"
#include "error_log.h"
#include "ini_document.h"
#include "list_items.h"
#include "platform_folders.h"
#include "profile_encoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <limits>

namespace modVNQRN
{

namespace
{

constexpr qsizetype kReadLimit = 254; // a 255-character buffer less its terminator
constexpr qint64 kStaleLockMs = 15000;
constexpr int kLockPollMs = 10;

// What a settings file holds, or why it cannot be read as one. A missing
// file reads as empty.
struct ProfileFile {
    bool exists = false;
    std::optional<ProfileText> text; // nothing: the file cannot be read
    QString problem;                 // why not, for the operator
    qint32 errorNumber = 0;
};

ProfileFile readProfileFile(const QString &path)
{
    ProfileFile file;
    const QFileInfo info(path);
    file.exists = info.exists();
    if (!file.exists) {
        file.text = ProfileText{};
        return file;
    }
    if (!info.isFile()) {
        file.problem = QStringLiteral("it is not a file");
        file.errorNumber = errPathFileAccess;
        return file;
    }
    if (info.size() > kMaxProfileBytes) {
        file.problem = QStringLiteral("it is larger than 8 MiB, too large for a settings file");
        file.errorNumber = errPathFileAccess;
        return file;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        file.problem = f.errorString();
        file.errorNumber =
            f.error() == QFileDevice::PermissionsError ? errPermissionDenied : errPathFileAccess;
        return file;
    }
    const QByteArray bytes = f.read(kMaxProfileBytes + 1);
    if (f.error() != QFileDevice::NoError || bytes.size() > kMaxProfileBytes) {
        file.problem = f.errorString();
        file.errorNumber = errPathFileAccess;
        return file;
    }
    file.text = decodeProfileFile(bytes);
    return file;
}

std::optional<QString> lookup(const QString &section, const QString &key, const QString &file)
{
    const ProfileFile read = readProfileFile(resolveProfilePath(file));
    if (!read.text || !read.exists)
        return std::nullopt;
    return IniDocument::parse(read.text->bytes).value(section, key);
}

// Takes the workstation's lock on a settings file, waiting at most
// kProfileLockWaitMs of monotonic time. Another program holds it for the
// milliseconds of one write; one that holds it longer is stuck, and the
// operator must not wait on it.
bool takeLock(QLockFile &lock)
{
    Clock &clock = appClock();
    const qint64 start = clock.monotonicMs();
    for (;;) {
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError)
            return false; // the folder cannot hold a lock file: no wait helps
        if (clock.monotonicMs() - start >= kProfileLockWaitMs)
            return false;
        clock.sleepMs(kLockPollMs);
    }
}

// A write that did not happen is told: the setting it carried (a claim on
// the message line, for one) is lost otherwise without a trace.
int writeFailed(const QString &path, const QString &reason, qint32 number)
{
    ReportError(Error(number, u"The settings file " + path + u" could not be written: " + reason),
                QString());
    return 0;
}

} // namespace

QString resolveProfilePath(const QString &file)
{
    if (file.contains(u'/'))
        return file;
    return systemProfileFolder() + file;
}

QString ReadProfileString(const QString &section, const QString &key, const QString &defaultValue,
                          const QString &file)
{
    return lookup(section, key, file).value_or(defaultValue).left(kReadLimit);
}

qint32 ReadProfileInt(const QString &section, const QString &key, qint32 defaultValue,
                      const QString &file)
{
    const auto value = lookup(section, key, file);
    if (!value)
        return defaultValue;
    QStringView text = QStringView(*value).trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    qint64 n = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        n = std::min(n * 10 + (c.unicode() - u'0'), limit);
    }
    n = negative ? -n : std::min<qint64>(n, std::numeric_limits<qint32>::max());
    return static_cast<qint32>(n);
}

QString CleanProfileValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c != u'\n' && c != u'\r' && c != u'\t' && c != u'\b')
            out += c;
    }
    return TrimBlanks(out);
}

int WriteProfileString(const QString &section, const QString &key, const QString &value,
                       const QString &file)
{
    return WriteProfileStrings(section, {{key, value}}, file);
}

int WriteProfileStrings(const QString &section, const QList<std::pair<QString, QString>> &entries,
                        const QString &file)
{
    const QString path = resolveProfilePath(file);
    QLockFile lock(path + u".lock");
    lock.setStaleLockTime(static_cast<int>(kStaleLockMs));
    if (!takeLock(lock)) {
        if (lock.error() == QLockFile::LockFailedError) {
            return writeFailed(path,
                               u"another program has held its lock (" + path +
                                   u".lock) for more than " +
                                   QString::number(kProfileLockWaitMs / 1000) + u" seconds",
                               errPermissionDenied);
        }
        return writeFailed(path, QStringLiteral("its folder is missing or cannot be written"),
                           QFileInfo(path).absoluteDir().exists() ? errPermissionDenied
                                                                  : errPathNotFound);
    }

    const ProfileFile read = readProfileFile(path);
    if (!read.text) // never replace a file we could not read in full
        return writeFailed(path, read.problem, read.errorNumber);

    IniDocument doc = IniDocument::parse(read.text->bytes);
    for (const auto &[key, value] : entries)
        doc.setValue(section, key, CleanProfileValue(value));

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return writeFailed(path, out.errorString(), errPermissionDenied);
    const QByteArray data = encodeProfileFile({read.text->encoding, doc.serialize()});
    if (out.write(data) != data.size()) {
        // QSaveFile discards the temporary file.
        return writeFailed(path, out.errorString(),
                           out.error() == QFileDevice::ResourceError ? errDiskFull
                                                                     : errPathFileAccess);
    }
    if (!out.commit())
        return writeFailed(path, out.errorString(), errPathFileAccess);
    return 1;
}

QString profileReadProblem(const QString &file)
{
    const ProfileFile read = readProfileFile(resolveProfilePath(file));
    return read.text ? QString() : read.problem;
}

} // namespace modVNQRN

#include "profile.h"

#include "ini_document.h"
#include "list_items.h"
#include "platform_folders.h"

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
constexpr int kLockWaitMs = 10000;    // other writers hold it for milliseconds
constexpr int kStaleLockMs = 15000;

// The file's contents, or nothing when it cannot be read as a settings file.
// A missing file reads as empty.
std::optional<QByteArray> readProfileBytes(const QString &path, bool &exists)
{
    const QFileInfo info(path);
    exists = info.exists();
    if (!exists)
        return QByteArray();
    if (!info.isFile() || info.size() > kMaxProfileBytes)
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = f.read(kMaxProfileBytes + 1);
    if (f.error() != QFileDevice::NoError || bytes.size() > kMaxProfileBytes)
        return std::nullopt;
    return bytes;
}

std::optional<QString> lookup(const QString &section, const QString &key, const QString &file)
{
    bool exists = false;
    const auto bytes = readProfileBytes(resolveProfilePath(file), exists);
    if (!bytes || !exists)
        return std::nullopt;
    return IniDocument::parse(*bytes).value(section, key);
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
    const QString path = resolveProfilePath(file);
    QLockFile lock(path + u".lock");
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockWaitMs))
        return 0;

    bool exists = false;
    const auto bytes = readProfileBytes(path, exists);
    if (!bytes)
        return 0; // never replace a file we could not read in full

    IniDocument doc = IniDocument::parse(*bytes);
    doc.setValue(section, key, CleanProfileValue(value));

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    const QByteArray data = doc.serialize();
    if (out.write(data) != data.size())
        return 0; // QSaveFile discards the temporary file
    return out.commit() ? 1 : 0;
}

} // namespace modVNQRN

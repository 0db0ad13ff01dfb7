// The settings reader and writer on arbitrary file contents: reading never
// fails, an unchanged document writes back byte for byte, and a value
// written reads back as written (cleaned) whatever surrounds it.

#include "fuzz_support.h"

#include "shared/ini_document.h"
#include "shared/profile.h"

#include <QFile>

using namespace modVNQRN;

namespace
{

// A section or key name the file format can hold: no brackets, "=", line
// breaks or surrounding blanks.
QString nameFrom(const QByteArray &bytes, const char *fallback)
{
    QString name = QString::fromLatin1(bytes);
    name.remove(QChar(u'[')).remove(QChar(u']')).remove(QChar(u'=')).remove(QChar(u';'));
    name.remove(QChar(u'\0'));
    name = CleanProfileValue(name);
    return name.isEmpty() ? QString::fromLatin1(fallback) : name;
}

bool quoted(const QString &v)
{
    return v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation &ws = FuzzWorkstation::instance();
    const QByteArray input = bytesOf(data, size);
    // The first bytes name what to write; the rest is the file.
    const QList<QByteArray> head = input.left(96).split('\x01');
    const QByteArray file = input.size() > 96 ? input.mid(96) : input;

    const IniDocument doc = IniDocument::parse(file);
    FUZZ_CHECK(doc.serialize() == file);

    const QString section = nameFrom(head.value(0), "Messages");
    const QString key = nameFrom(head.value(1), "MsgTimer");
    const QString value =
        CleanProfileValue(QString::fromLatin1(head.value(2)).remove(QChar(u'\0')));
    (void)doc.value(section, key);

    IniDocument changed = doc;
    changed.setValue(section, key, value);
    const IniDocument reread = IniDocument::parse(changed.serialize());
    const std::optional<QString> got = reread.value(section, key);
    FUZZ_CHECK(got.has_value());
    if (!quoted(value))
        FUZZ_CHECK(*got == value);

    // The same through a file on disk, as the product reads and writes it.
    const QString path = ws.folder() + u"fuzz.ini";
    {
        QFile out(path);
        FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file);
    }
    (void)ReadProfileString(section, key, QStringLiteral("default"), path);
    (void)ReadProfileInt(section, key, 7, path);
    FUZZ_CHECK(WriteProfileString(section, key, value, path) != 0);
    const QString back = ReadProfileString(section, key, QStringLiteral("missing"), path);
    if (!quoted(value))
        FUZZ_CHECK(back == value.left(254));
    return 0;
}

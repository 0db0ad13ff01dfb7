#include "profile_encoding.h"

#include <QString>

namespace modVNQRN
{

namespace
{

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);
const QByteArray kUtf16LEBom("\xFF\xFE", 2);
const QByteArray kUtf16BEBom("\xFE\xFF", 2);

QString fromUtf16(const QByteArray &bytes, bool bigEndian)
{
    QString text;
    text.reserve(bytes.size() / 2);
    // A last odd byte is no character; it is dropped.
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        text += QChar(static_cast<char16_t>(hi << 8 | lo));
    }
    return text;
}

QByteArray toUtf16(const QString &text, bool bigEndian)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8);
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

} // namespace

ProfileText decodeProfileFile(const QByteArray &file)
{
    if (file.startsWith(kUtf8Bom))
        return {ProfileEncoding::Utf8Bom, file.mid(kUtf8Bom.size())};
    if (file.startsWith(kUtf16LEBom))
        return {ProfileEncoding::Utf16LE, fromUtf16(file.mid(2), false).toUtf8()};
    if (file.startsWith(kUtf16BEBom))
        return {ProfileEncoding::Utf16BE, fromUtf16(file.mid(2), true).toUtf8()};
    return {ProfileEncoding::Ansi, file};
}

QByteArray encodeProfileFile(const ProfileText &text)
{
    switch (text.encoding) {
    case ProfileEncoding::Utf8Bom:
        return kUtf8Bom + text.bytes;
    case ProfileEncoding::Utf16LE:
        return kUtf16LEBom + toUtf16(QString::fromUtf8(text.bytes), false);
    case ProfileEncoding::Utf16BE:
        return kUtf16BEBom + toUtf16(QString::fromUtf8(text.bytes), true);
    case ProfileEncoding::Ansi:
        break;
    }
    return text.bytes;
}

} // namespace modVNQRN

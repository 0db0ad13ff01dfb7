#include "ansi_text.h"

#include <array>

namespace modVNQRN
{

namespace
{

// Windows-1252 bytes 0x80..0x9F; the five unassigned bytes map to the C1
// control of the same value, as the platform's own conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t cp1252ToUnicode(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F)
        return kCp1252High[b - 0x80];
    return b;
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at `i` and its code point; 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
int utf8Sequence(const QByteArray &bytes, qsizetype i, char32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    int len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > bytes.size())
        return 0;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if (!isContinuation(b))
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

QString decodeAnsi(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t cp = 0;
        int len = utf8Sequence(bytes, i, cp);
        if (len == 0) {
            cp = cp1252ToUnicode(static_cast<unsigned char>(bytes[i]));
            len = 1;
        }
        if (cp > 0xFFFF) {
            const char32_t ucs[1] = {cp};
            out += QString::fromUcs4(ucs, 1);
        } else {
            out += QChar(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

QByteArray encodeAnsi(const QString &text)
{
    return text.toUtf8();
}

int ansiCode(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<int>(ch);
    for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == ch)
            return 0x80 + k;
    }
    return '?';
}

} // namespace modVNQRN

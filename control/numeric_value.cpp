#include "numeric_value.h"

#include <QByteArray>

#include <cctype>

namespace VNOrvak
{

namespace
{

bool isIgnored(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

double radixValue(const QByteArray &digits, int base)
{
    double value = 0;
    for (char c : digits)
        value = value * base + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    return value;
}

} // namespace

double NumericValue(QStringView text)
{
    // Gather the characters that count, then find where the number ends.
    QByteArray chars;
    chars.reserve(text.size());
    for (QChar c : text) {
        if (isIgnored(c))
            continue;
        if (c.unicode() > 0x7f)
            break;
        chars.append(static_cast<char>(c.unicode()));
    }
    if (chars.size() >= 2 && chars[0] == '&') {
        const char kind = static_cast<char>(chars[1] | 0x20);
        const int base = kind == 'h' ? 16 : kind == 'o' ? 8 : 0;
        if (base == 0)
            return 0;
        QByteArray digits;
        for (qsizetype i = 2; i < chars.size(); ++i) {
            const char c = chars[i];
            const bool ok = base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                       : (c >= '0' && c <= '7');
            if (!ok)
                break;
            digits.append(c);
        }
        return radixValue(digits, base);
    }
    qsizetype end = 0;
    if (end < chars.size() && (chars[end] == '+' || chars[end] == '-'))
        ++end;
    const qsizetype mantissaStart = end;
    while (end < chars.size() && std::isdigit(static_cast<unsigned char>(chars[end])))
        ++end;
    if (end < chars.size() && chars[end] == '.') {
        ++end;
        while (end < chars.size() && std::isdigit(static_cast<unsigned char>(chars[end])))
            ++end;
    }
    if (end == mantissaStart || (end == mantissaStart + 1 && chars[mantissaStart] == '.'))
        return 0;
    if (end < chars.size() &&
        (chars[end] == 'e' || chars[end] == 'E' || chars[end] == 'd' || chars[end] == 'D')) {
        qsizetype exp = end + 1;
        if (exp < chars.size() && (chars[exp] == '+' || chars[exp] == '-'))
            ++exp;
        if (exp < chars.size() && std::isdigit(static_cast<unsigned char>(chars[exp]))) {
            chars[end] = 'e';
            end = exp;
            while (end < chars.size() && std::isdigit(static_cast<unsigned char>(chars[end])))
                ++end;
        }
    }
    chars.truncate(end);
    bool ok = false;
    const double value = chars.toDouble(&ok); // always the C locale's "."
    return ok ? value : 0;
}

} // namespace VNOrvak

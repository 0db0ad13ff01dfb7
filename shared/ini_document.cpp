#include "ini_document.h"

#include "ansi_text.h"

namespace modVNQRN
{

namespace
{

QString unquote(const QString &v)
{
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// Blanks and tabs around names and values are not part of them; other white
// space (a no-break space, a form feed) is, as the writer keeps it.
QString trimBlanksAndTabs(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniDocument::Line IniDocument::classify(QByteArray raw, QByteArray eol)
{
    Line line;
    line.raw = std::move(raw);
    line.eol = std::move(eol);
    const QString text = trimBlanksAndTabs(decodeAnsi(line.raw));
    if (text.startsWith(u'[')) {
        line.kind = Line::Section;
        const qsizetype close = text.indexOf(u']');
        line.name = trimBlanksAndTabs(close < 0 ? text.mid(1) : text.mid(1, close - 1));
    } else if (const qsizetype eq = text.indexOf(u'='); eq >= 0) {
        line.kind = Line::Entry;
        line.name = trimBlanksAndTabs(text.left(eq));
        line.value = unquote(trimBlanksAndTabs(text.mid(eq + 1)));
    }
    return line;
}

IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument doc;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype nl = bytes.indexOf('\n', start);
        QByteArray raw;
        QByteArray eol;
        if (nl < 0) {
            raw = bytes.mid(start);
            start = bytes.size();
        } else {
            raw = bytes.mid(start, nl - start);
            eol = "\n";
            if (raw.endsWith('\r')) {
                raw.chop(1);
                eol = "\r\n";
            }
            start = nl + 1;
        }
        doc.m_lines.append(classify(std::move(raw), std::move(eol)));
    }
    return doc;
}

qsizetype IniDocument::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Section && sameName(m_lines[i].name, section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::Section)
        ++i;
    return i;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Entry && sameName(m_lines[i].name, key))
            return m_lines[i].value;
    }
    return std::nullopt;
}

QByteArray IniDocument::newLineEnd() const
{
    for (const Line &line : m_lines) {
        if (!line.eol.isEmpty())
            return line.eol;
    }
    return "\n";
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QByteArray eol = newLineEnd();
    const qsizetype header = findSection(section);
    if (header >= 0) {
        const qsizetype end = sectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            Line &line = m_lines[i];
            if (line.kind == Line::Entry && sameName(line.name, key)) {
                line = classify(encodeAnsi(line.name + u'=' + value), line.eol);
                return;
            }
        }
        // After the section's last non-blank line, so blank lines that
        // separate it from the next section stay where they are.
        qsizetype at = end;
        while (at > header + 1 && decodeAnsi(m_lines[at - 1].raw).trimmed().isEmpty())
            --at;
        if (m_lines[at - 1].eol.isEmpty())
            m_lines[at - 1].eol = eol;
        m_lines.insert(at, classify(encodeAnsi(key + u'=' + value), eol));
        return;
    }
    if (!m_lines.isEmpty() && m_lines.back().eol.isEmpty())
        m_lines.back().eol = eol;
    m_lines.append(classify(encodeAnsi(u'[' + section + u']'), eol));
    m_lines.append(classify(encodeAnsi(key + u'=' + value), eol));
}

QByteArray IniDocument::serialize() const
{
    QByteArray out;
    for (const Line &line : m_lines)
        out += line.raw + line.eol;
    return out;
}

} // namespace modVNQRN

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace modVNQRN
{

/// A profile (INI) file held as its lines, for reading values and for
/// changing one value while every other line stays byte for byte as it was.
///
/// Sections ("[name]") and keys ("key=value") match without regard to case,
/// and the first match wins. Blanks around names and values are ignored, and
/// a value in matching single or double quotes reads without them. Lines
/// before the first section, comments and anything else that is not a
/// "key=value" line are kept but never match.
class IniDocument
{
public:
    IniDocument() = default;
    static IniDocument parse(const QByteArray &bytes);

    /// The value of `key` in `section`, or nothing when either is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;

    /// Replaces the value of the first matching key, or adds the key at the
    /// end of the first matching section, or adds the section at the end.
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray serialize() const;

private:
    struct Line {
        QByteArray raw; // the line as read, without its line end
        QByteArray eol; // "\r\n", "\n" or "" for a last line without one
        enum Kind { Other, Section, Entry } kind = Other;
        QString name;  // section name or key, trimmed
        QString value; // entry value, trimmed and unquoted
    };

    static Line classify(QByteArray raw, QByteArray eol);
    // Index of the first matching section header, or -1.
    qsizetype findSection(const QString &section) const;
    // One past the last line of the section whose header is at `header`.
    qsizetype sectionEnd(qsizetype header) const;
    QByteArray newLineEnd() const;

    QList<Line> m_lines;
};

} // namespace modVNQRN

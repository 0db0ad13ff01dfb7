#pragma once

#include <QString>

namespace modVNQRN
{

/// Takes the first item off a delimited list: returns the text before the
/// first `sDelim` (trimmed of blanks) and leaves `sList` holding what follows
/// the delimiter; without a delimiter returns the whole trimmed list and
/// leaves it empty. An empty `sDelim` means ",".
QString GetLeftItem(QString &sList, const QString &sDelim = QString());

/// `text` without leading and trailing blanks (spaces only, unlike
/// QString::trimmed, which also takes tabs and line ends).
QString TrimBlanks(const QString &text);

} // namespace modVNQRN

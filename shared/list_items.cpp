#include "list_items.h"

namespace modVNQRN
{

QString TrimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

QString GetLeftItem(QString &sList, const QString &sDelim)
{
    const QString delim = sDelim.isEmpty() ? QStringLiteral(",") : sDelim;
    sList = TrimBlanks(sList);
    const qsizetype p = sList.indexOf(delim);
    if (p < 0) {
        QString item = sList;
        sList.clear();
        return item;
    }
    QString item = TrimBlanks(sList.left(p));
    sList = sList.mid(p + delim.size());
    return item;
}

} // namespace modVNQRN

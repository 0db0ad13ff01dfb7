#include "ordered_name_list.h"

#include "numeric_value.h"

#include <algorithm>
#include <cmath>

namespace VNOrvak
{

namespace
{

constexpr qsizetype kNameLength = 12;
constexpr qsizetype kStep = 13;

// Digits-only ids are the rule; anything else takes the general reading.
double fieldValue(QStringView field)
{
    if (field.size() == 9) {
        double value = 0;
        for (QChar c : field) {
            if (c < u'0' || c > u'9')
                return NumericValue(field);
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    }
    return NumericValue(field);
}

} // namespace

double OrderedNameList::idOf(QStringView name)
{
    return fieldValue(name.mid(2, 9));
}

bool OrderedNameList::isWellFormed(const QString &name)
{
    if (name.size() != kNameLength)
        return false;
    const double id = idOf(name);
    return std::isfinite(id) && id == std::nearbyint(id);
}

OrderedNameList::OrderedNameList(const QString &text)
{
    if (text.isEmpty())
        return;
    // The table only takes a list that insertion could have built: names of
    // the fast form, each once, already in order.
    const QStringList names = text.split(u',');
    for (const QString &name : names) {
        if (!isWellFormed(name) || m_index.contains(name)) {
            useText();
            m_text = text;
            return;
        }
        const Entry entry{name, idOf(name), name.back().unicode()};
        if (!m_entries.empty()) {
            const Entry &last = m_entries.back();
            if (entry.id < last.id || (entry.id == last.id && entry.key < last.key)) {
                useText();
                m_text = text;
                return;
            }
        }
        m_index.insert(name, m_entries.size());
        m_entries.push_back(entry);
    }
}

bool OrderedNameList::contains(const QString &name)
{
    if (m_table && isWellFormed(name))
        return m_index.contains(name); // 12-character names never straddle a comma
    useText();
    return m_text.contains(name);
}

void OrderedNameList::replaceAll(const QString &from, const QString &to)
{
    if (m_table && isWellFormed(from) && isWellFormed(to) && idOf(from) == idOf(to) &&
        from.back() == to.back()) {
        const auto it = m_index.constFind(from);
        if (it == m_index.cend())
            return;
        const std::size_t at = it.value();
        m_index.erase(it);
        m_entries[at].name = to;
        m_index.insert(to, at);
        return;
    }
    useText();
    if (!from.isEmpty())
        m_text.replace(from, to);
}

void OrderedNameList::insert(const QString &name)
{
    if (m_table && isWellFormed(name)) {
        m_index.insert(name, m_entries.size());
        m_entries.push_back({name, idOf(name), name.back().unicode()});
        return;
    }
    useText();
    insertIntoText(name);
}

QString OrderedNameList::text() const
{
    if (!m_table)
        return m_text;
    // Inserting before the first greater name keeps equal names in the order
    // added: exactly a stable sort.
    std::vector<const Entry *> order;
    order.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        order.push_back(&e);
    std::stable_sort(order.begin(), order.end(), [](const Entry *a, const Entry *b) {
        return a->id < b->id || (a->id == b->id && a->key < b->key);
    });
    QString text;
    text.reserve(static_cast<qsizetype>(order.size()) * kStep);
    for (const Entry *e : order) {
        if (!text.isEmpty())
            text += u',';
        text += e->name;
    }
    return text;
}

void OrderedNameList::useText()
{
    if (!m_table)
        return;
    m_text = text();
    m_table = false;
    m_entries.clear();
    m_index.clear();
}

void OrderedNameList::insertIntoText(const QString &name)
{
    // The insertion walks the text in steps of 13 characters whatever the
    // names' lengths, so that a list with odd names stays as it always was.
    const double id = std::nearbyint(idOf(name));
    const QChar key = name.isEmpty() ? QChar() : name.back();
    const auto entryId = [this](qsizetype pos) {
        return fieldValue(QStringView(m_text).mid(std::min(pos + 2, m_text.size()), 9));
    };
    const auto keyIsLower = [&](qsizetype q) {
        // An empty key is lower than any character; past the end there is none.
        if (q + 11 >= m_text.size())
            return false;
        return name.isEmpty() || key.unicode() < m_text[q + 11].unicode();
    };
    const auto insertAt = [&](qsizetype p) { m_text.insert(p, name + u','); };

    const qsizetype bound = m_text.size();
    for (qsizetype pos = 0; pos <= bound; pos += kStep) {
        const double here = entryId(pos);
        if (id < here) {
            insertAt(pos);
            return;
        }
        if (id == here) {
            for (qsizetype q = pos; q <= m_text.size(); q += kStep) {
                if (entryId(q) != id || keyIsLower(q)) {
                    insertAt(q);
                    return;
                }
            }
        }
    }
    if (m_text.isEmpty()) {
        m_text = name;
        return;
    }
    if (!m_text.endsWith(u','))
        m_text += u',';
    m_text += name;
}

} // namespace VNOrvak

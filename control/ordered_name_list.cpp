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
            startText(text);
            return;
        }
        const Entry entry{name, idOf(name), name.back().unicode()};
        if (!m_entries.empty()) {
            const Entry &last = m_entries.back();
            if (entry.id < last.id || (entry.id == last.id && entry.key < last.key)) {
                startText(text);
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
    // A window of 12 characters without a comma lies inside one name.
    if (name.size() == kNameLength && !name.contains(u','))
        return m_windows.value(name) > 0;
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
    if (from.isEmpty() || !contains(from))
        return;
    if (from.size() != to.size()) {
        m_text.replace(from, to);
        rebuildText();
        return;
    }
    // Same length: only the steps over each occurrence change.
    for (qsizetype at = m_text.indexOf(from); at >= 0; at = m_text.indexOf(from, at + to.size())) {
        replaceRange(at, at + from.size(), to);
        for (qsizetype cell = at / kStep; cell <= (at + from.size() - 1) / kStep; ++cell)
            readCell(static_cast<std::size_t>(cell));
    }
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
    startText(text());
}

void OrderedNameList::startText(const QString &text)
{
    m_table = false;
    m_entries.clear();
    m_index.clear();
    m_text = text;
    rebuildText();
}

void OrderedNameList::rebuildText()
{
    m_windows.clear();
    countWindows(0, m_text.size(), 1);
    m_cellId.clear();
    m_cellKey.clear();
    refreshCellsFrom(0);
}

void OrderedNameList::refreshCellsFrom(qsizetype cell)
{
    // One step per position 0, 13, 26, ... up to the length itself.
    const auto cells = static_cast<std::size_t>(m_text.size() / kStep + 1);
    const auto first = std::min(static_cast<std::size_t>(cell), m_cellId.size());
    m_cellId.resize(cells);
    m_cellKey.resize(cells);
    for (std::size_t k = first; k < cells; ++k)
        readCell(k);
}

void OrderedNameList::readCell(std::size_t cell)
{
    const qsizetype pos = static_cast<qsizetype>(cell) * kStep;
    m_cellId[cell] = fieldValue(QStringView(m_text).mid(std::min(pos + 2, m_text.size()), 9));
    m_cellKey[cell] = pos + 11 < m_text.size() ? m_text[pos + 11].unicode() : -1;
}

void OrderedNameList::countWindows(qsizetype from, qsizetype to, int delta)
{
    // [from, to) holds whole names: count each one's windows.
    qsizetype start = from;
    while (start <= to) {
        qsizetype end = m_text.indexOf(u',', start);
        if (end < 0 || end > to)
            end = to;
        for (qsizetype i = start; i + kNameLength <= end; ++i) {
            const QString window = m_text.mid(i, kNameLength);
            if ((m_windows[window] += delta) == 0)
                m_windows.remove(window);
        }
        start = end + 1;
    }
}

void OrderedNameList::replaceRange(qsizetype from, qsizetype to, const QString &with)
{
    // Widen to the names the change touches, recount their windows after it.
    qsizetype start = from;
    while (start > 0 && m_text[start - 1] != u',')
        --start;
    qsizetype end = to;
    while (end < m_text.size() && m_text[end] != u',')
        ++end;
    countWindows(start, end, -1);
    m_text.replace(from, to - from, with);
    countWindows(start, end + with.size() - (to - from), 1);
}

void OrderedNameList::insertIntoText(const QString &name)
{
    // The insertion walks the text in steps of 13 characters whatever the
    // names' lengths, so that a list with odd names stays as it always was.
    // Each step reads only its own 13 characters, so inserting a 12-character
    // name and its comma at a step moves the later steps without changing them.
    const double id = std::nearbyint(idOf(name));
    const int key = name.isEmpty() ? -2 : name.back().unicode();
    const auto keyIsLower = [&](std::size_t k) { return m_cellKey[k] >= 0 && key < m_cellKey[k]; };

    const std::size_t cells = m_cellId.size();
    std::size_t at = cells;
    for (std::size_t k = 0; k < cells && at == cells; ++k) {
        if (id < m_cellId[k]) {
            at = k;
        } else if (id == m_cellId[k]) {
            // When no later step differs, none of the later ones inserts either.
            std::size_t q = k;
            while (q < cells && m_cellId[q] == id && !keyIsLower(q))
                ++q;
            if (q == cells)
                break;
            at = q;
        }
    }
    if (at < cells) {
        const qsizetype pos = static_cast<qsizetype>(at) * kStep;
        replaceRange(pos, pos, name + u',');
        if (name.size() == kNameLength) {
            m_cellId.insert(m_cellId.begin() + static_cast<std::ptrdiff_t>(at), 0);
            m_cellKey.insert(m_cellKey.begin() + static_cast<std::ptrdiff_t>(at), 0);
            readCell(at);
        } else {
            refreshCellsFrom(static_cast<qsizetype>(at));
        }
        return;
    }
    const qsizetype end = m_text.size();
    const bool comma = !m_text.isEmpty() && !m_text.endsWith(u',');
    replaceRange(end, end, comma ? u',' + name : name);
    refreshCellsFrom(end / kStep);
}

} // namespace VNOrvak

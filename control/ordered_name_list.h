#pragma once

#include <QHash>
#include <QString>

#include <vector>

namespace VNOrvak
{

/// The message list while names are being added to it. The list orders names
/// by the numeric value of characters 3-11, then by the last character, equal
/// names in the order added; "contains" means contains as text.
///
/// Well-formed names (12 characters, an id whose value is a whole number) are
/// kept in a table and sorted once when the text is taken, which gives the
/// same list as inserting each name into the text in turn. As soon as a name
/// of another form takes part, the list falls back to that insertion on the
/// text itself, where names of other lengths shift the 13-character steps;
/// the text then keeps the value and ordering character read at each step,
/// and a count of every 12-character window between commas, so that a
/// stray file costs little more than a well-formed one.
class OrderedNameList
{
public:
    explicit OrderedNameList(const QString &text);

    /// Whether `name` occurs anywhere in the list's text.
    bool contains(const QString &name);
    /// Replaces every occurrence of `from` by `to` (both of the same form).
    void replaceAll(const QString &from, const QString &to);
    /// Inserts `name` at its place.
    void insert(const QString &name);
    /// The list as text: names joined by ",".
    QString text() const;

    /// The id of a name: the numeric value of its characters 3-11.
    static double idOf(QStringView name);
    /// Whether a name can take the table's fast path.
    static bool isWellFormed(const QString &name);

private:
    struct Entry {
        QString name;
        double id;
        char16_t key;
    };

    void useText();
    void startText(const QString &text);
    void insertIntoText(const QString &name);
    // The text's indexes: the step table from a cell on, the windows of the
    // names around a changed range.
    void rebuildText();
    void refreshCellsFrom(qsizetype cell);
    void readCell(std::size_t cell);
    void replaceRange(qsizetype from, qsizetype to, const QString &with);
    void countWindows(qsizetype from, qsizetype to, int delta);

    bool m_table = true;
    std::vector<Entry> m_entries; // in the order added
    QHash<QString, std::size_t> m_index;
    QString m_text;                // the list once it no longer uses the table
    std::vector<double> m_cellId;  // value read at each 13-character step
    std::vector<int> m_cellKey;    // ordering character at each step, -1 past the end
    QHash<QString, int> m_windows; // 12-character windows between commas
};

} // namespace VNOrvak

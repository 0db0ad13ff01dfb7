#pragma once

#include <QTreeWidget>

namespace VNOrvak
{

/// The operator's list of entities: one row per entity of the messages
/// folder with its messages and new messages, in id order. Ids are shown
/// without their leading zeros, as an operator dials them.
class EntityPicker : public QTreeWidget
{
    Q_OBJECT

public:
    explicit EntityPicker(QWidget *parent = nullptr);

    /// Shows the entities of a message list (the control's Messages),
    /// keeping the selected entity selected. Raises no entityPicked.
    void showMessages(const QString &msgList);
    /// Selects the row of `id` (ids compare by their numbers, so "1001" and
    /// "000001001" are one entity), or nothing when no row has it. Raises no
    /// entityPicked: this follows the control, the operator did not pick.
    void showEntity(const QString &id);
    /// Selects the row of `id` as the operator's click would, raising
    /// entityPicked. False when no row has it.
    bool pick(const QString &id);

    /// Shows only the entities with a new message (the selected entity stays
    /// listed while selected, so the operator never loses it).
    void setOnlyNew(bool onlyNew);
    bool onlyNew() const { return m_onlyNew; }
    /// Marks the rows as last seen: the messages folder cannot be read now.
    void setStale(bool stale);
    bool stale() const { return m_stale; }

    /// The id of the selected row as shown, "" when none is selected.
    QString selectedId() const;
    /// The ids of the rows, in order, as shown.
    QStringList ids() const;
    /// The row of `id`, or nullptr.
    QTreeWidgetItem *itemFor(const QString &id) const;

Q_SIGNALS:
    /// The operator selected the entity `id` (as shown: without leading zeros).
    void entityPicked(const QString &id);

private:
    void selectSilently(QTreeWidgetItem *item);
    void fill();

    bool m_updating = false;
    bool m_onlyNew = false;
    bool m_stale = false;
    QString m_msgList;
};

/// An entity id as an operator writes it: a nine-digit id without its
/// leading zeros ("000001001" gives "1001", "000000000" gives "0"); other
/// text as it is.
QString displayEntityId(const QString &id);

} // namespace VNOrvak

#include "entity_picker.h"

#include "control/entity_summary.h"

#include <QHeaderView>

namespace VNOrvak
{

namespace
{

enum Column { ColEntity, ColMessages, ColNew };

} // namespace

QString displayEntityId(const QString &id)
{
    bool ok = false;
    const qlonglong number = id.toLongLong(&ok);
    return ok && !id.startsWith(u'+') && !id.startsWith(u'-') ? QString::number(number) : id;
}

EntityPicker::EntityPicker(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("lstEntities"));
    setColumnCount(3);
    setHeaderLabels({tr("Entity"), tr("Messages"), tr("New")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(ColEntity, QHeaderView::Stretch);
    header()->setSectionResizeMode(ColMessages, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(ColNew, QHeaderView::ResizeToContents);
    setAccessibleName(tr("Entities"));
    setAccessibleDescription(tr("The entities of the messages folder with their messages and "
                                "new messages; pick one to see and play its messages"));
    setToolTip(tr("Pick an entity (arrow keys). Entity field: Ctrl+F"));
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_updating)
            return;
        const QString id = selectedId();
        if (!id.isEmpty())
            Q_EMIT entityPicked(id);
    });
}

void EntityPicker::showMessages(const QString &msgList)
{
    m_msgList = msgList;
    fill();
}

void EntityPicker::setOnlyNew(bool onlyNew)
{
    m_onlyNew = onlyNew;
    fill();
}

void EntityPicker::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    setAccessibleDescription(
        stale ? tr("As last seen: the messages folder cannot be read now")
              : tr("The entities of the messages folder with their messages and new messages; "
                   "pick one to see and play its messages"));
    fill();
}

void EntityPicker::fill()
{
    const QString selected = selectedId();
    m_updating = true;
    clear();
    for (const EntityMessages &entity : summarizeEntities(m_msgList).entities) {
        const QString id = displayEntityId(entity.id);
        if (m_onlyNew && entity.newMessages == 0 && id != selected)
            continue;
        auto *item = new QTreeWidgetItem(this);
        item->setText(ColEntity, id);
        item->setText(ColMessages, QString::number(entity.messages));
        // In words as well as in bold: "2 new", or nothing.
        item->setText(ColNew,
                      entity.newMessages > 0 ? tr("%1 new").arg(entity.newMessages) : QString());
        item->setTextAlignment(ColMessages, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(ColNew, Qt::AlignRight | Qt::AlignVCenter);
        QFont font = item->font(ColEntity);
        font.setBold(entity.newMessages > 0);
        font.setItalic(m_stale);
        for (int column : {ColEntity, ColMessages, ColNew})
            item->setFont(column, font);
        if (m_stale)
            item->setToolTip(ColEntity, tr("As last seen: the messages folder cannot be read"));
    }
    m_updating = false;
    selectSilently(itemFor(selected));
}

void EntityPicker::showEntity(const QString &id)
{
    selectSilently(itemFor(id));
}

bool EntityPicker::pick(const QString &id)
{
    QTreeWidgetItem *item = itemFor(id);
    if (!item)
        return false;
    if (item->isSelected()) {
        // Picking the entity shown again asks the control for it again.
        Q_EMIT entityPicked(item->text(ColEntity));
        return true;
    }
    setCurrentItem(item);
    return true;
}

QString EntityPicker::selectedId() const
{
    const QList<QTreeWidgetItem *> items = selectedItems();
    return items.isEmpty() ? QString() : items.first()->text(ColEntity);
}

QStringList EntityPicker::ids() const
{
    QStringList result;
    for (int i = 0; i < topLevelItemCount(); ++i)
        result << topLevelItem(i)->text(ColEntity);
    return result;
}

QTreeWidgetItem *EntityPicker::itemFor(const QString &id) const
{
    if (id.isEmpty())
        return nullptr;
    const QString wanted = displayEntityId(id);
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->text(ColEntity) == wanted)
            return topLevelItem(i);
    return nullptr;
}

void EntityPicker::selectSilently(QTreeWidgetItem *item)
{
    m_updating = true;
    clearSelection();
    if (item) {
        setCurrentItem(item);
        scrollToItem(item);
    }
    m_updating = false;
}

} // namespace VNOrvak

#include "message_table.h"

#include <QHeaderView>
#include <QLocale>

namespace VNOrvak
{

namespace
{

const QString kDateFormat = QStringLiteral("ddd yyyy-MM-dd HH:mm");

} // namespace

QColor MessageTable::newColor()
{
    return QColor(0xa4, 0x00, 0x00); // dark red: 8.1:1 on white
}
QColor MessageTable::heardColor()
{
    return QColor(0x3c, 0x3c, 0x3c); // dark grey: 11:1 on white
}
QColor MessageTable::playingBackground()
{
    return QColor(0xff, 0xe0, 0x8a); // light amber: black text 16:1, dark red 6.3:1
}

MessageTable::MessageTable(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("lstMessages"));
    setColumnCount(4);
    setHeaderLabels({tr("No."), tr("Received"), tr("Length"), tr("Status")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setPalette([this] {
        QPalette p = palette();
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::Text, Qt::black);
        return p;
    }());
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(ColNumber, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(ColReceived, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(ColLength, QHeaderView::ResizeToContents);
    setAccessibleName(tr("Messages of the selected entity"));
    setAccessibleDescription(tr("One row per message: number, date and time received, length, "
                                "and new or heard. The row playing says Playing."));
    setToolTip(tr("The selected entity's messages. Play or Pause: F5 or Space; Stop: Esc"));
}

void MessageTable::showMessages(const QList<MessageFacts> &messages)
{
    clear();
    int number = 0;
    for (const MessageFacts &m : messages) {
        auto *item = new QTreeWidgetItem(this);
        item->setText(ColNumber, QString::number(++number));
        item->setText(ColReceived, m.received.isValid()
                                       ? QLocale::c().toString(m.received, kDateFormat)
                                       : tr("(file gone)"));
        item->setText(ColLength, minutesSeconds(m.lengthSeconds));
        item->setData(ColStatus, Qt::UserRole, m.isNew);
        item->setTextAlignment(ColNumber, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(ColLength, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int i = 1; i <= number; ++i)
        paintRow(i);
}

void MessageTable::setPlaying(int position)
{
    const int before = m_playing;
    m_playing = position >= 1 && position <= topLevelItemCount() ? position : 0;
    paintRow(before);
    paintRow(m_playing);
    if (m_playing > 0)
        scrollToItem(topLevelItem(m_playing - 1));
}

void MessageTable::paintRow(int position)
{
    if (position < 1 || position > topLevelItemCount())
        return;
    QTreeWidgetItem *item = topLevelItem(position - 1);
    const bool isNew = item->data(ColStatus, Qt::UserRole).toBool();
    const bool playing = position == m_playing;
    QString status = isNew ? tr("New") : tr("Heard");
    if (playing)
        status = tr("Playing - %1").arg(status.toLower());
    item->setText(ColStatus, status);
    QFont font = this->font();
    font.setBold(isNew || playing);
    for (int c = 0; c < columnCount(); ++c) {
        item->setFont(c, font);
        item->setBackground(c, playing ? QBrush(playingBackground()) : QBrush());
        item->setForeground(c, c == ColStatus ? (isNew ? newColor() : heardColor())
                                              : QBrush(Qt::black));
    }
}

} // namespace VNOrvak

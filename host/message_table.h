#pragma once

#include "message_facts.h"

#include <QTreeWidget>

namespace VNOrvak
{

/// The selected entity's messages, one row each: its number, the call's date
/// and time, its length (m:ss) and whether it is new or heard, in words and
/// in colour. The row now playing is highlighted and says "Playing".
class MessageTable : public QTreeWidget
{
    Q_OBJECT

public:
    enum Column { ColNumber, ColReceived, ColLength, ColStatus };

    explicit MessageTable(QWidget *parent = nullptr);

    /// Shows `messages` (entityMessages()), keeping the playing mark.
    void showMessages(const QList<MessageFacts> &messages);
    /// Marks the row of position `position` (1-based; 0 for none) as playing.
    void setPlaying(int position);
    int playingPosition() const { return m_playing; }

    /// The colours of the status texts (chosen for a contrast of 4.5:1 or
    /// more on the table's white and on the playing row's background).
    static QColor newColor();
    static QColor heardColor();
    static QColor playingBackground();

private:
    void paintRow(int position);

    int m_playing = 0;
};

} // namespace VNOrvak

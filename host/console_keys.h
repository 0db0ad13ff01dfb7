#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace VNOrvak
{

/// What a console key does.
enum class ConsoleCommand { PlayPause, Stop, NewMsg, Previous, Next, EntityField, MessageTable };

/// One key of the console: its keys, what it does in words, and the command.
struct ConsoleKey {
    QList<QKeySequence> keys;
    QString what;
    ConsoleCommand command;
};

/// The console's own keys, beside the control's access keys (Alt+letter),
/// which stay as they are. Each does one thing whatever has the focus,
/// except Space on a focused button, which presses that button.
const QList<ConsoleKey> &consoleKeys();

/// The keys of `command` as the legend writes them ("F5 or Space").
QString keysText(ConsoleCommand command);

/// The legend under the control: every key and what it does.
QString keyLegend();

} // namespace VNOrvak

#include "console_keys.h"

#include <QObject>

namespace VNOrvak
{

const QList<ConsoleKey> &consoleKeys()
{
    static const QList<ConsoleKey> keys = {
        {{QKeySequence(Qt::Key_F5), QKeySequence(Qt::Key_Space)},
         QObject::tr("Play / Pause / Resume"),
         ConsoleCommand::PlayPause},
        {{QKeySequence(Qt::Key_Escape)}, QObject::tr("Stop"), ConsoleCommand::Stop},
        {{QKeySequence(Qt::Key_F6)}, QObject::tr("New Msg"), ConsoleCommand::NewMsg},
        {{QKeySequence(Qt::CTRL | Qt::Key_Left)},
         QObject::tr("Previous entity"),
         ConsoleCommand::Previous},
        {{QKeySequence(Qt::CTRL | Qt::Key_Right)},
         QObject::tr("Next entity"),
         ConsoleCommand::Next},
        {{QKeySequence(Qt::CTRL | Qt::Key_F)},
         QObject::tr("Entity field"),
         ConsoleCommand::EntityField},
        {{QKeySequence(Qt::CTRL | Qt::Key_M)},
         QObject::tr("Message table"),
         ConsoleCommand::MessageTable},
    };
    return keys;
}

QString keysText(ConsoleCommand command)
{
    for (const ConsoleKey &key : consoleKeys()) {
        if (key.command != command)
            continue;
        QStringList names;
        for (const QKeySequence &seq : key.keys)
            names << seq.toString(QKeySequence::NativeText);
        return names.join(QObject::tr(" or "));
    }
    return QString();
}

QString keyLegend()
{
    QStringList parts;
    for (const ConsoleKey &key : consoleKeys())
        parts << keysText(key.command) + u": " + key.what;
    return parts.join(QStringLiteral("   "));
}

} // namespace VNOrvak

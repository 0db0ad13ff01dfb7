// vnmsg: an administrator's view of a VN-Orvak installation from the shell.

#include "command.h"

#include <QCoreApplication>

#include <map>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const VnmsgArgs args = parseVnmsgArgs(QCoreApplication::arguments().mid(1));
    const std::map<QString, VnmsgCommand> commands = {
        {QStringLiteral("env"), runEnvCommand},
        {QStringLiteral("scan"), runScanCommand},
        {QStringLiteral("entities"), runEntitiesCommand},
        {QStringLiteral("make-demo"), runMakeDemoCommand},
    };
    if (!args.error.isEmpty()) {
        printError(args.error);
        return 2;
    }
    if (args.command.isEmpty() || args.command == u"help") {
        std::fputs(kVnmsgUsage, args.command.isEmpty() ? stderr : stdout);
        return args.command.isEmpty() ? 2 : 0;
    }
    if (args.help) {
        printLine(vnmsgCommandUsage(args.command));
        return 0;
    }
    return commands.at(args.command)(args);
}

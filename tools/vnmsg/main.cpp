// vnmsg: an administrator's view of a VN-Orvak installation from the shell.

#include "command.h"

#include <QCoreApplication>

#include <map>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const VnmsgArgs args = parseVnmsgArgs(QCoreApplication::arguments().mid(1));
    const std::map<QString, VnmsgCommand> commands = {
        {QStringLiteral("list"), runListCommand},
        {QStringLiteral("mark-heard"), runMarkCommand},
        {QStringLiteral("mark-new"), runMarkCommand},
        {QStringLiteral("export"), runExportCommand},
        {QStringLiteral("play"), runPlayCommand},
        {QStringLiteral("purge"), runPurgeCommand},
        {QStringLiteral("log"), runLogCommand},
        {QStringLiteral("heard"), runHeardCommand},
        {QStringLiteral("env"), runEnvCommand},
        {QStringLiteral("scan"), runScanCommand},
        {QStringLiteral("entities"), runEntitiesCommand},
        {QStringLiteral("make-demo"), runMakeDemoCommand},
    };
    if (!args.error.isEmpty()) {
        printError(args.error);
        return kExitUsage;
    }
    if (args.version) {
        printLine(QStringLiteral("vnmsg (VN-Orvak) " VNORVAK_VERSION));
        return kExitOk;
    }
    if (args.command.isEmpty() || args.command == u"help") {
        std::fputs(kVnmsgUsage, args.command.isEmpty() ? stderr : stdout);
        return args.command.isEmpty() ? kExitUsage : kExitOk;
    }
    if (args.help) {
        printLine(vnmsgCommandUsage(args.command));
        return kExitOk;
    }
    return commands.at(args.command)(args);
}

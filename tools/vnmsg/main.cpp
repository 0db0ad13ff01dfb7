// vnmsg: an administrator's view of a VN-Orvak installation from the shell.

#include "command.h"

#include <QCoreApplication>

#include <map>

namespace
{

const char kUsage[] =
    "usage: vnmsg COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  env [--program NAME]   show the installation this workstation finds:\n"
    "                         the settings file, the four folders and the\n"
    "                         shared messages folder (NAME's first two\n"
    "                         characters are the application prefix)\n"
    "  scan DIR [--now \"YYYY-MM-DD HH:MM:SS\"] [--entity ID]...\n"
    "                         poll the messages folder DIR once, as a\n"
    "                         control would, and print the list, the\n"
    "                         counts, the latest call, the files kept\n"
    "                         apart (other names: no message names) and,\n"
    "                         for each ID, the entity's messages; --now\n"
    "                         fixes \"today\"\n"
    "  entities DIR           one line per entity of DIR: its messages,\n"
    "                         new and heard\n"
    "  make-demo DIR [--route auto|soundcard|telephone] [--voice auto|speech|tone]\n"
    "                [--time-scale SECONDS]\n"
    "                         make a demo installation in DIR: a workstation's\n"
    "                         settings and a dozen messages for five entities\n"
    "                         (spoken with espeak-ng and sox, else tones)\n"
    "  help                   show this text\n";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const std::map<QString, VnmsgCommand> commands = {
        {QStringLiteral("env"), runEnvCommand},
        {QStringLiteral("scan"), runScanCommand},
        {QStringLiteral("entities"), runEntitiesCommand},
        {QStringLiteral("make-demo"), runMakeDemoCommand},
    };
    if (args.isEmpty() || args[0] == u"help" || args[0] == u"--help" || args[0] == u"-h") {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        printError(u"unknown command " + args[0] + u" (try vnmsg help)");
        return 2;
    }
    return it->second(args.mid(1));
}

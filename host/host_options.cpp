#include "host_options.h"

namespace VNOrvak
{

HostOptions parseHostOptions(const QStringList &args)
{
    HostOptions options;
    bool programGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--help" || arg == u"-h") {
            options.help = true;
        } else if (arg == u"--version") {
            options.version = true;
        } else if (arg == u"--tour" || arg == u"--phone") {
            if (!hasValue || args[i + 1].isEmpty()) {
                options.error = arg + u" wants a value";
                return options;
            }
            (arg == u"--tour" ? options.tourFolder : options.phoneAddress) = args[++i];
        } else if (!arg.startsWith(u'-') && !programGiven) {
            // An empty name would leave the message line without a holder's name.
            if (arg.trimmed().isEmpty()) {
                options.error = QStringLiteral("the program name must not be empty");
                return options;
            }
            options.programName = arg;
            programGiven = true;
        } else {
            options.error = u"unexpected argument " + arg;
            return options;
        }
    }
    return options;
}

QString hostUsage()
{
    return QStringLiteral(
        "usage: vnhost [PROGRAM-NAME] [--tour DIR] [--phone ADDRESS]\n"
        "  or:  vnhost --help | --version\n"
        "\n"
        "The sample switchboard console around the VN-Orvak message control.\n"
        "\n"
        "  PROGRAM-NAME    the name given to InitializeForProgram (default VN-Console);\n"
        "                  its first two characters choose the application folder\n"
        "  --tour DIR      drive the window through a scripted tour (pick an entity,\n"
        "                  Play, Pause, Resume, Stop, New Msg, Next), save a\n"
        "                  screenshot after each step into DIR, print the event log\n"
        "                  and exit (0 when every step reached its state)\n"
        "  --phone ADDRESS play the messages on the SIP telephone at ADDRESS\n"
        "  --help          print this help and exit\n"
        "  --version       print the version and exit\n"
        "\n"
        "The workstation's settings are found as every VN-Orvak program finds them;\n"
        "VNORVAK_LOCAL_APPDATA, VNORVAK_MACHINE_DIR and VNORVAK_SYSTEM_DIR move them\n"
        "(a demo installation's env.sh sets all three).\n");
}

} // namespace VNOrvak

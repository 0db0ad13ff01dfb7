#include "vnmsg_args.h"

using namespace VNOrvak;

const char kVnmsgUsage[] =
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

namespace
{

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

void parseEnv(const QStringList &args, VnmsgArgs &out)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--program" && i + 1 < args.size()) {
            out.program = args[++i];
        } else {
            out.error = u"env: unknown argument " + args[i];
            return;
        }
    }
}

// "DIR [--now STAMP] [--entity ID]..." (entities takes DIR alone).
void parseScan(const QStringList &args, VnmsgArgs &out)
{
    const QString &command = out.command;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if ((arg == u"--now" || arg == u"--entity") && i + 1 < args.size()) {
            const QString value = args[++i];
            if (arg == u"--entity") {
                out.entities.append(value);
                continue;
            }
            out.now = QDateTime::fromString(value, kDateFormat);
            if (!out.now.isValid()) {
                out.error = command + u": --now wants \"YYYY-MM-DD HH:MM:SS\", not " + value;
                return;
            }
        } else if (!arg.startsWith(u"--") && out.folder.isEmpty()) {
            out.folder = arg;
        } else {
            out.error = command + u": unexpected argument " + arg + u" (try vnmsg help)";
            return;
        }
    }
    if (out.folder.isEmpty())
        out.error = command + u": which messages folder? (try vnmsg help)";
    else if (command == u"entities" && !out.entities.isEmpty())
        out.error = QStringLiteral("entities: --entity belongs to scan");
}

void parseMakeDemo(const QStringList &args, VnmsgArgs &out)
{
    DemoOptions &options = out.demo;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--route" && hasValue) {
            const QString value = args[++i];
            if (value == u"auto")
                options.route = DemoRoute::Auto;
            else if (value == u"soundcard")
                options.route = DemoRoute::SoundCard;
            else if (value == u"telephone")
                options.route = DemoRoute::Telephone;
            else {
                out.error = u"make-demo: --route wants auto, soundcard or telephone, not " + value;
                return;
            }
        } else if (arg == u"--voice" && hasValue) {
            const QString value = args[++i];
            if (value == u"auto")
                options.voice = DemoVoice::Auto;
            else if (value == u"speech")
                options.voice = DemoVoice::Speech;
            else if (value == u"tone")
                options.voice = DemoVoice::Tone;
            else {
                out.error = u"make-demo: --voice wants auto, speech or tone, not " + value;
                return;
            }
        } else if (arg == u"--time-scale" && hasValue) {
            bool ok = false;
            options.timeScale = args[++i].toDouble(&ok);
            // Also no infinity or NaN: the scale multiplies every wait.
            if (!ok || !(options.timeScale > 0) || !qIsFinite(options.timeScale)) {
                out.error = u"make-demo: --time-scale wants a number above 0, not " + args[i];
                return;
            }
        } else if (!arg.startsWith(u"--") && options.folder.isEmpty()) {
            options.folder = arg;
        } else {
            out.error = u"make-demo: unexpected argument " + arg + u" (try vnmsg help)";
            return;
        }
    }
    if (options.folder.isEmpty())
        out.error = QStringLiteral("make-demo: in which folder? (try vnmsg help)");
}

} // namespace

QString vnmsgCommandUsage(const QString &command)
{
    if (command == u"scan")
        return QStringLiteral(
            "usage: vnmsg scan DIR [--now \"YYYY-MM-DD HH:MM:SS\"] [--entity ID]...");
    if (command == u"entities")
        return QStringLiteral("usage: vnmsg entities DIR");
    if (command == u"make-demo")
        return QStringLiteral(
            "usage: vnmsg make-demo DIR [--route auto|soundcard|telephone] [--voice "
            "auto|speech|tone]\n"
            "                      [--time-scale SECONDS]");
    if (command == u"env")
        return QStringLiteral("usage: vnmsg env [--program NAME]");
    return QString::fromLatin1(kVnmsgUsage);
}

VnmsgArgs parseVnmsgArgs(const QStringList &args)
{
    VnmsgArgs out;
    if (args.isEmpty())
        return out;
    out.command = args[0];
    if (out.command.isEmpty()) {
        out.error = QStringLiteral("the command is empty (try vnmsg help)");
        return out;
    }
    const QStringList rest = args.mid(1);
    if (out.command == u"help" || out.command == u"--help" || out.command == u"-h") {
        out.command = QStringLiteral("help");
        out.help = true;
        return out;
    }
    const bool known = out.command == u"env" || out.command == u"scan" ||
                       out.command == u"entities" || out.command == u"make-demo";
    if (!known) {
        out.error = u"unknown command " + out.command + u" (try vnmsg help)";
        return out;
    }
    if (out.command != u"env" && (rest.contains(u"--help") || rest.contains(u"-h"))) {
        out.help = true;
        return out;
    }
    if (out.command == u"env")
        parseEnv(rest, out);
    else if (out.command == u"make-demo")
        parseMakeDemo(rest, out);
    else
        parseScan(rest, out);
    return out;
}

#include "command.h"

#include "demo/demo_installation.h"

#include "shared/error.h"

using namespace VNOrvak;

namespace
{

const char kMakeDemoUsage[] =
    "usage: vnmsg make-demo DIR [--route auto|soundcard|telephone] [--voice auto|speech|tone]\n"
    "                      [--time-scale SECONDS]";

} // namespace

int runMakeDemoCommand(const QStringList &args)
{
    DemoOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--help" || arg == u"-h") {
            printLine(QString::fromLatin1(kMakeDemoUsage));
            return 0;
        } else if (arg == u"--route" && hasValue) {
            const QString value = args[++i];
            if (value == u"auto")
                options.route = DemoRoute::Auto;
            else if (value == u"soundcard")
                options.route = DemoRoute::SoundCard;
            else if (value == u"telephone")
                options.route = DemoRoute::Telephone;
            else {
                printError(u"make-demo: --route wants auto, soundcard or telephone, not " + value);
                return 2;
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
                printError(u"make-demo: --voice wants auto, speech or tone, not " + value);
                return 2;
            }
        } else if (arg == u"--time-scale" && hasValue) {
            bool ok = false;
            options.timeScale = args[++i].toDouble(&ok);
            if (!ok || options.timeScale <= 0) {
                printError(u"make-demo: --time-scale wants a number above 0, not " + args[i]);
                return 2;
            }
        } else if (!arg.startsWith(u"--") && options.folder.isEmpty()) {
            options.folder = arg;
        } else {
            printError(u"make-demo: unexpected argument " + arg + u" (try vnmsg help)");
            return 2;
        }
    }
    if (options.folder.isEmpty()) {
        printError(QStringLiteral("make-demo: in which folder? (try vnmsg help)"));
        return 2;
    }

    DemoInstallation demo;
    try {
        demo = makeDemoInstallation(options);
    } catch (const modVNQRN::Error &e) {
        printError(u"make-demo: " + e.description());
        return 1;
    }
    printLine(u"Demo installation in " + demo.folder);
    printLine(u"  settings file   " + demo.localIni);
    printLine(u"  profile         " + demo.profileIni);
    printLine(u"  messages        " + demo.messagesFolder + u" (" +
              QString::number(demo.spoken + demo.tones) + u" messages: " +
              QString::number(demo.spoken) + u" spoken, " + QString::number(demo.tones) +
              u" tones)");
    printLine(u"  messages play   " +
              (demo.soundCard ? QStringLiteral("on the sound card")
                              : QStringLiteral("on the simulated voice board's telephone")));
    for (const QString &note : demo.notes)
        printLine(u"  note: " + note);
    printLine(u"Point a workstation at it with:  . " + demo.folder + u"env.sh");
    return 0;
}

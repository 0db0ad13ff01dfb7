#include "command.h"

#include "demo/demo_installation.h"

#include "shared/error.h"

using namespace VNOrvak;

int runMakeDemoCommand(const VnmsgArgs &args)
{
    const DemoOptions &options = args.demo;
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

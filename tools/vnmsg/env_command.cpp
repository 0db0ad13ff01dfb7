#include "command.h"

#include "shared/modVNQRN.h"

#include <QFileInfo>

using namespace modVNQRN;

namespace
{

QString describeFile(const QString &path)
{
    const QFileInfo info(resolveProfilePath(path));
    if (!info.exists())
        return info.filePath() + u" (missing)";
    return info.filePath() + (info.isFile() ? u" (found)" : u" (not a file)");
}

} // namespace

int runEnvCommand(const VnmsgArgs &args)
{
    const QString &program = args.program;
    try {
        InitEnvironment(program.left(2));
    } catch (const Error &e) {
        printError(u"env: " + e.description());
        return 1;
    }
    printLine(u"Program=" + program);
    printLine(u"LocalIni=" + gsLocalIni);
    printLine(u"AppPath=" + gsAppPath);
    printLine(u"LocalPath=" + gsLocalPath);
    printLine(u"DataPath=" + gsDataPath);
    printLine(u"SettingsFile=" + describeFile(gsLocalIni));
    printLine(u"ProfileFile=" + describeFile(gsLocalPath + u"VntProfile.ini"));
    printLine(u"MessagesFolder=" + gsDataPath + u"messages/");
    // Without a root the search ended at the user's own settings file.
    if (ReadProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("VnPath"), QString(),
                          gsLocalIni)
            .isEmpty()) {
        printError(QStringLiteral("env: no installation found: no settings file names one"));
        return kExitMissing;
    }
    return kExitOk;
}

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
    return 0;
}

#include "platform_folders.h"

#include <QDir>

namespace modVNQRN
{

namespace
{

QString fromEnvironment(const char *name)
{
    return qEnvironmentVariable(name);
}

} // namespace

QString withTrailingSeparator(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString localAppDataFolder()
{
    QString folder = fromEnvironment("VNORVAK_LOCAL_APPDATA");
    if (folder.isEmpty())
        folder = fromEnvironment("XDG_DATA_HOME");
    if (folder.isEmpty()) {
        const QString home = fromEnvironment("HOME");
        if (home.isEmpty())
            return {};
        folder = home + u"/.local/share";
    }
    return withTrailingSeparator(folder);
}

QString machineFolder()
{
    const QString folder = fromEnvironment("VNORVAK_MACHINE_DIR");
    return withTrailingSeparator(folder.isEmpty() ? QStringLiteral("/etc/vantel") : folder);
}

QString systemProfileFolder()
{
    const QString folder = fromEnvironment("VNORVAK_SYSTEM_DIR");
    return withTrailingSeparator(folder.isEmpty() ? QStringLiteral("/etc") : folder);
}

} // namespace modVNQRN

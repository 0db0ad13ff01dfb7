#include "environment.h"

#include "error.h"
#include "platform_folders.h"
#include "profile.h"

namespace modVNQRN
{

thread_local QString gsLocalIni;
thread_local QString gsAppPath;
thread_local QString gsLocalPath;
thread_local QString gsDataPath;

namespace
{

const QString kSection = QStringLiteral("Zuzidivuz");
const QString kLocalIniName = QStringLiteral("QelLocal.ini");

QString readZuzidivuz(const QString &key)
{
    return ReadProfileString(kSection, key, QString(), gsLocalIni);
}

// Steps 4 and 5: a fallback settings file names both paths itself.
void readFallback(const QString &iniFile)
{
    gsLocalIni = iniFile;
    gsAppPath = readZuzidivuz(QStringLiteral("VnPath"));
    gsLocalPath = readZuzidivuz(QStringLiteral("LocalPath"));
}

} // namespace

QString GetLocalAppFolder()
{
    const QString base = localAppDataFolder();
    if (base.isEmpty()) {
        throw Error(errPathNotFound,
                    QStringLiteral("The local application-data folder could not be determined"));
    }
    QString folder = base + u"Qrn/Vantel/";
    folder[0] = folder[0].toLower();
    return folder;
}

void InitEnvironment(const QString &sPrefix)
{
    gsLocalIni = GetLocalAppFolder() + kLocalIniName;
    gsAppPath = readZuzidivuz(QStringLiteral("VnPath"));
    gsLocalPath = GetLocalAppFolder();
    if (gsAppPath.isEmpty())
        readFallback(machineFolder() + kLocalIniName);
    if (gsAppPath.isEmpty())
        readFallback(kLocalIniName);
    gsAppPath = withTrailingSeparator(gsAppPath);
    gsLocalPath = withTrailingSeparator(gsLocalPath);

    QString prefix = readZuzidivuz(QStringLiteral("AppPrefix"));
    if (!sPrefix.isEmpty())
        prefix = sPrefix;
    prefix = prefix.toUpper();

    const QString appFolder =
        gsAppPath + prefix + (prefix == u"VN" ? QStringLiteral("T/") : QStringLiteral("aNT/"));
    const QString profileFile = gsLocalPath + u"VntProfile.ini";
    QString dataDir = ReadProfileString(prefix + u"aControl", QStringLiteral("DataDirectory"),
                                        QString(), profileFile);
    if (dataDir.isEmpty())
        dataDir = QStringLiteral("Data");
    gsDataPath = appFolder + dataDir + u'/';
}

} // namespace modVNQRN

#include "environment.h"

#include "error.h"
#include "error_log.h"
#include "platform_folders.h"
#include "profile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

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

// A settings file that is there but cannot be read is named to the operator:
// read as empty, it would pass for a workstation without settings.
void reportUnreadable(const QString &iniFile)
{
    const QString problem = profileReadProblem(iniFile);
    if (problem.isEmpty())
        return;
    const QString path = resolveProfilePath(iniFile);
    ReportError(Error(QFileInfo(path).isDir() ? errPathFileAccess : errPermissionDenied,
                      u"The settings file " + path + u" cannot be read: " + problem),
                QString());
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
    const QString ownFolder = GetLocalAppFolder();
    const QStringList searched = {ownFolder + kLocalIniName, machineFolder() + kLocalIniName,
                                  kLocalIniName};
    gsLocalIni = searched[0];
    gsAppPath = readZuzidivuz(QStringLiteral("VnPath"));
    gsLocalPath = ownFolder;
    if (gsAppPath.isEmpty())
        readFallback(searched[1]);
    if (gsAppPath.isEmpty())
        readFallback(searched[2]);

    // Without a root, the paths would end at the file system's root and the
    // first write would put settings in the system folder: the workstation's
    // own folder takes every role instead, and the operator is told.
    const bool found = !gsAppPath.isEmpty();
    if (!found) {
        gsLocalIni = searched[0];
        gsAppPath = ownFolder;
        QDir().mkpath(ownFolder);
    }
    if (gsLocalPath.isEmpty())
        gsLocalPath = ownFolder;
    gsAppPath = withTrailingSeparator(gsAppPath);
    gsLocalPath = withTrailingSeparator(gsLocalPath);

    // Only the files the search came to: one found earlier makes the rest moot.
    const qsizetype consulted = searched.indexOf(gsLocalIni) + 1;
    for (qsizetype i = 0; i < (found ? consulted : searched.size()); ++i)
        reportUnreadable(searched[i]);
    if (!found) {
        QStringList places;
        for (const QString &file : searched)
            places.append(resolveProfilePath(file));
        ReportError(Error(errFileNotFound,
                          u"No settings file names the installation (\"VnPath\" of section "
                          u"\"Zuzidivuz\"); searched " +
                              places.join(QStringLiteral(", ")) + u". Settings and logs go to " +
                              ownFolder),
                    QString());
    }

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

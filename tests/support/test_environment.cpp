#include "test_environment.h"

#include "shared/clock.h"
#include "shared/environment.h"
#include "shared/error_log.h"

#include <QFile>
#include <QFileInfo>

TestWorkstation::TestWorkstation()
{
    useFolders(root() + u"appdata", machineFolder(), systemFolder());
    QDir().mkpath(machineFolder());
    QDir().mkpath(systemFolder());
    clearEnvironmentRecord();
}

void TestWorkstation::writeLocalIni(const QByteArray &settings) const
{
    writeFile(localIni(), "[Zuzidivuz]\nVnPath=" + root().toUtf8() + "inst\n" + settings);
}

void TestWorkstation::useFolders(const QString &appData, const QString &machine,
                                 const QString &system)
{
    qputenv("VNORVAK_LOCAL_APPDATA", appData.toUtf8());
    qputenv("VNORVAK_MACHINE_DIR", machine.toUtf8());
    qputenv("VNORVAK_SYSTEM_DIR", system.toUtf8());
}

void TestWorkstation::clearEnvironmentRecord()
{
    for (QString *global : {&modVNQRN::gsLocalIni, &modVNQRN::gsAppPath, &modVNQRN::gsLocalPath,
                            &modVNQRN::gsDataPath})
        global->clear();
}

void TestWorkstation::writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write test file %s", qPrintable(path));
    f.write(contents);
}

QByteArray TestWorkstation::readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString todaysErrorLog()
{
    return QString::fromUtf8(
               TestWorkstation::readFile(modVNQRN::errorLogPath(modVNQRN::appClock().now().date())))
        .remove(QStringLiteral("'\r\n   '"));
}

#include "test_environment.h"

#include "shared/environment.h"

#include <QFile>
#include <QFileInfo>

TestWorkstation::TestWorkstation()
{
    qputenv("VNORVAK_LOCAL_APPDATA", (root() + u"appdata").toUtf8());
    qputenv("VNORVAK_MACHINE_DIR", machineFolder().toUtf8());
    qputenv("VNORVAK_SYSTEM_DIR", systemFolder().toUtf8());
    QDir().mkpath(machineFolder());
    QDir().mkpath(systemFolder());
    clearEnvironmentRecord();
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

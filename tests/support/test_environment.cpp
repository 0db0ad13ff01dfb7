#include "test_environment.h"

#include "shared/environment.h"

#include <QFile>
#include <QFileInfo>

namespace
{

void clearEnvironmentRecord()
{
    modVNQRN::gsLocalIni.clear();
    modVNQRN::gsAppPath.clear();
    modVNQRN::gsLocalPath.clear();
    modVNQRN::gsDataPath.clear();
}

} // namespace

TestWorkstation::TestWorkstation()
{
    qputenv("VNORVAK_LOCAL_APPDATA", (root() + u"appdata").toUtf8());
    qputenv("VNORVAK_MACHINE_DIR", machineFolder().toUtf8());
    qputenv("VNORVAK_SYSTEM_DIR", systemFolder().toUtf8());
    QDir().mkpath(machineFolder());
    QDir().mkpath(systemFolder());
    clearEnvironmentRecord();
}

TestWorkstation::~TestWorkstation()
{
    clearEnvironmentRecord();
}

QString TestWorkstation::localAppFolder() const
{
    return root() + u"appdata/Qrn/Vantel/";
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
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

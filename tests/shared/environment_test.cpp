#include "shared/environment.h"
#include "shared/error.h"

#include "support/test_environment.h"
#include "support/thrown_error.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace modVNQRN;
using namespace Qt::StringLiterals;

namespace
{

class InitEnvironmentTest : public ::testing::Test
{
protected:
    // Writes the settings file at `path`, or removes it when `body` is empty.
    static void setIni(const QString &path, const QByteArray &body)
    {
        if (body.isEmpty())
            QFile::remove(path);
        else
            TestWorkstation::writeFile(path, body);
    }

    TestWorkstation ws;
};

} // namespace

// The first settings file that names an installation root wins: the local
// one, then the machine's, then the bare name (which resolves in the system
// folder). Each run starts afresh.
TEST_F(InitEnvironmentTest, FindsTheInstallationThroughTheFirstSettingsFileWithARoot)
{
    const QString machineIni = ws.machineFolder() + u"QelLocal.ini";
    const struct {
        QByteArray local, machine, system;
        QString ini, app, localPath;
    } rows[] = {
        {"[Zuzidivuz]\nVnPath=/inst\n", "[Zuzidivuz]\nVnPath=/other\nLocalPath=/elsewhere\n", "",
         ws.localIni(), u"/inst/"_s, ws.localAppFolder()}, // "LocalPath" is not read locally
        {"[Zuzidivuz]\nAppPrefix=XY\n", "[zuzidivuz]\nvnpath=/srv/inst/\nLOCALPATH=/var/ws\n", "",
         machineIni, u"/srv/inst/"_s, u"/var/ws/"_s},
        {"", "", "[Zuzidivuz]\nVnPath=/sys/inst\n", u"QelLocal.ini"_s, u"/sys/inst/"_s, u"/"_s},
        {"", "", "", u"QelLocal.ini"_s, u"/"_s, u"/"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.app.toStdString());
        setIni(ws.localIni(), row.local);
        setIni(machineIni, row.machine);
        setIni(ws.systemFolder() + u"QelLocal.ini", row.system);
        InitEnvironment(u"VN"_s);
        EXPECT_EQ(gsLocalIni, row.ini);
        EXPECT_EQ(gsAppPath, row.app);
        EXPECT_EQ(gsLocalPath, row.localPath);
        EXPECT_EQ(gsDataPath, row.app + u"VNT/Data/");
    }
}

TEST_F(InitEnvironmentTest, PrefixChoosesTheApplicationFolderAndDataDirectory)
{
    setIni(ws.localIni(), "[Zuzidivuz]\nVnPath=/inst\nAppPrefix=xy\n");
    InitEnvironment(u"vn"_s); // the caller's prefix beats "AppPrefix"
    EXPECT_EQ(gsDataPath, u"/inst/VNT/Data/");

    const QString profile = ws.localAppFolder() + u"VntProfile.ini";
    for (const auto &[body, data] :
         {std::pair{QByteArray(), u"/inst/XYaNT/Data/"_s},
          {"[XYaControl]\nDataDirectory=Data2\n", u"/inst/XYaNT/Data2/"_s},
          {"[XYaControl]\nDataDirectory=\n", u"/inst/XYaNT/Data/"_s}}) {
        setIni(profile, body);
        InitEnvironment(QString());
        EXPECT_EQ(gsDataPath, data);
    }
}

TEST_F(InitEnvironmentTest, NoApplicationDataFolderIsAFailureOfTheCall)
{
    const QByteArray appdata = qgetenv("VNORVAK_LOCAL_APPDATA");
    const QByteArray home = qgetenv("HOME");
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    qunsetenv("VNORVAK_LOCAL_APPDATA");
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    gsAppPath = u"kept"_s;
    EXPECT_EQ(thrownError([] { InitEnvironment(u"VN"_s); }).number(), errPathNotFound);
    EXPECT_EQ(gsAppPath, u"kept");
    qputenv("VNORVAK_LOCAL_APPDATA", appdata);
    qputenv("HOME", home);
    if (!xdg.isEmpty())
        qputenv("XDG_DATA_HOME", xdg);
}

#include "shared/environment.h"
#include "shared/error.h"

#include "support/test_environment.h"

#include <gtest/gtest.h>

using namespace modVNQRN;

namespace
{

class InitEnvironmentTest : public ::testing::Test
{
protected:
    void writeIni(const QString &path, const QByteArray &body)
    {
        TestWorkstation::writeFile(path, body);
    }
    QString localIni() const { return ws.localAppFolder() + u"QelLocal.ini"; }
    QString machineIni() const { return ws.machineFolder() + u"QelLocal.ini"; }
    QString systemIni() const { return ws.systemFolder() + u"QelLocal.ini"; }

    TestWorkstation ws;
};

} // namespace

TEST_F(InitEnvironmentTest, LocalSettingsFileInTheAppDataFolderWins)
{
    writeIni(localIni(), "[Zuzidivuz]\nVnPath=/inst\n");
    writeIni(machineIni(), "[Zuzidivuz]\nVnPath=/other\nLocalPath=/elsewhere\n");
    InitEnvironment(QStringLiteral("VN"));
    EXPECT_EQ(gsLocalIni, localIni());
    EXPECT_EQ(gsAppPath, u"/inst/");
    EXPECT_EQ(gsLocalPath, ws.localAppFolder()); // "LocalPath" is not read here
    EXPECT_EQ(gsDataPath, u"/inst/VNT/Data/");
}

TEST_F(InitEnvironmentTest, FallsBackToTheMachineFileThenToTheBareName)
{
    writeIni(localIni(), "[Zuzidivuz]\nAppPrefix=XY\n"); // no root here
    writeIni(machineIni(), "[zuzidivuz]\nvnpath=/srv/inst/\nLOCALPATH=/var/ws\n");
    InitEnvironment(QString());
    EXPECT_EQ(gsLocalIni, machineIni());
    EXPECT_EQ(gsAppPath, u"/srv/inst/");
    EXPECT_EQ(gsLocalPath, u"/var/ws/");

    QFile::remove(machineIni());
    writeIni(systemIni(), "[Zuzidivuz]\nVnPath=/sys/inst\n"); // no LocalPath
    InitEnvironment(QString());
    EXPECT_EQ(gsLocalIni, u"QelLocal.ini");
    EXPECT_EQ(gsAppPath, u"/sys/inst/");
    EXPECT_EQ(gsLocalPath, u"/");
}

TEST_F(InitEnvironmentTest, NoSettingsAnywhereGivesTheRootFolders)
{
    InitEnvironment(QStringLiteral("VN"));
    EXPECT_EQ(gsLocalIni, u"QelLocal.ini");
    EXPECT_EQ(gsAppPath, u"/");
    EXPECT_EQ(gsLocalPath, u"/");
    EXPECT_EQ(gsDataPath, u"/VNT/Data/");
}

TEST_F(InitEnvironmentTest, PrefixChoosesTheApplicationFolderAndDataDirectory)
{
    writeIni(localIni(), "[Zuzidivuz]\nVnPath=/inst\nAppPrefix=xy\n");
    InitEnvironment(QStringLiteral("vn")); // the caller's prefix beats "AppPrefix"
    EXPECT_EQ(gsDataPath, u"/inst/VNT/Data/");

    InitEnvironment(QString());
    EXPECT_EQ(gsDataPath, u"/inst/XYaNT/Data/");

    writeIni(ws.localAppFolder() + u"VntProfile.ini", "[XYaControl]\nDataDirectory=Data2\n");
    InitEnvironment(QString());
    EXPECT_EQ(gsDataPath, u"/inst/XYaNT/Data2/");

    writeIni(ws.localAppFolder() + u"VntProfile.ini", "[XYaControl]\nDataDirectory=\n");
    InitEnvironment(QString());
    EXPECT_EQ(gsDataPath, u"/inst/XYaNT/Data/");
}

TEST_F(InitEnvironmentTest, EveryRunStartsAfresh)
{
    writeIni(localIni(), "[Zuzidivuz]\nVnPath=/inst\n");
    InitEnvironment(QStringLiteral("VN"));
    QFile::remove(localIni());
    InitEnvironment(QStringLiteral("VN"));
    EXPECT_EQ(gsAppPath, u"/");
    EXPECT_EQ(gsLocalIni, u"QelLocal.ini");
}

TEST_F(InitEnvironmentTest, NoApplicationDataFolderIsAFailureOfTheCall)
{
    const QByteArray appdata = qgetenv("VNORVAK_LOCAL_APPDATA");
    const QByteArray home = qgetenv("HOME");
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    qunsetenv("VNORVAK_LOCAL_APPDATA");
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    gsAppPath = QStringLiteral("kept");
    try {
        InitEnvironment(QStringLiteral("VN"));
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errPathNotFound);
    }
    EXPECT_EQ(gsAppPath, u"kept");
    qputenv("VNORVAK_LOCAL_APPDATA", appdata);
    qputenv("HOME", home);
    if (!xdg.isEmpty())
        qputenv("XDG_DATA_HOME", xdg);
}

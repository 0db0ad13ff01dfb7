#include "shared/environment.h"
#include "shared/error.h"

#include "shared/error_log.h"
#include "shared/profile.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"
#include "support/thrown_error.h"

#include <gtest/gtest.h>

#include <QDir>
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
    FakeClock clock;
    RecordingPrompter prompter;
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
        // Without "LocalPath" the local folder is the user's own, not the root.
        {"", "", "[Zuzidivuz]\nVnPath=/sys/inst\n", u"QelLocal.ini"_s, u"/sys/inst/"_s,
         ws.localAppFolder()},
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
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// No settings file anywhere: the user's own folder takes every role (nothing
// may land in the file system's root or the system folder), and the operator
// is told where the settings were looked for, in a box and in the error log.
TEST_F(InitEnvironmentTest, NoSettingsFileIsReportedAndEverythingStaysInTheUsersFolder)
{
    InitEnvironment(u"VN"_s);
    EXPECT_EQ(gsLocalIni, ws.localIni());
    EXPECT_EQ(gsAppPath, ws.localAppFolder());
    EXPECT_EQ(gsLocalPath, ws.localAppFolder());
    ASSERT_EQ(prompter.boxes.size(), 1);
    const QString text = prompter.boxes[0].text;
    EXPECT_TRUE(text.startsWith(u"Error 53 { 53-No settings file names the installation"));
    for (const QString &searched : QStringList{ws.localIni(), ws.machineFolder() + u"QelLocal.ini",
                                               ws.systemFolder() + u"QelLocal.ini"})
        EXPECT_TRUE(text.contains(searched)) << qPrintable(searched);
    EXPECT_EQ(errorLogPath(clock.now().date()).left(ws.localAppFolder().size()),
              ws.localAppFolder());
    EXPECT_TRUE(QString::fromUtf8(TestWorkstation::readFile(errorLogPath(clock.now().date())))
                    .contains(u"No settings file names the installation"));

    // A write of a setting then goes to the user's own file as well.
    EXPECT_NE(WriteProfileString(u"Messages"_s, u"MsgPortUsage"_s, u"X"_s, gsLocalIni), 0);
    EXPECT_TRUE(QFile::exists(ws.localIni()));
    EXPECT_FALSE(QFile::exists(ws.systemFolder() + u"QelLocal.ini"));
}

// A settings file that is there but cannot be read is named; it is not taken
// for a missing one without a word.
TEST_F(InitEnvironmentTest, AnUnreadableSettingsFileIsNamed)
{
    QDir().mkpath(ws.localIni()); // a folder where the file should be
    TestWorkstation::writeFile(ws.machineFolder() + u"QelLocal.ini",
                               "[Zuzidivuz]\nVnPath=/srv/inst\nLocalPath=/var/ws\n");
    InitEnvironment(u"VN"_s);
    EXPECT_EQ(gsAppPath, u"/srv/inst/");
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.contains(u"The settings file " + ws.localIni() +
                                                u" cannot be read: it is not a file"))
        << qPrintable(prompter.boxes[0].text);
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

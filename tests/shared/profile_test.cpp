#include "shared/profile.h"

#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

using namespace modVNQRN;

namespace
{

class ProfileTest : public ::testing::Test
{
protected:
    QString path(const QString &name = QStringLiteral("settings.ini")) const
    {
        return ws.root() + name;
    }
    void write(const QByteArray &body) { TestWorkstation::writeFile(path(), body); }
    QByteArray contents() const { return TestWorkstation::readFile(path()); }
    QString read(const char *section, const char *key, const QString &def = QString()) const
    {
        return ReadProfileString(QString::fromUtf8(section), QString::fromUtf8(key), def, path());
    }

    TestWorkstation ws;
};

} // namespace

TEST_F(ProfileTest, LookupIgnoresCaseAndTakesTheFirstMatch)
{
    write("; comment\n"
          "orphan=before any section\n"
          "[TelMon]\n"
          "  Delay = 5  \n"
          "delay=6\n"
          "Quoted=\"  spaced  \"\n"
          "[telmon]\n"
          "Other=x\n");
    EXPECT_EQ(read("Telmon", "DELAY"), u"5");
    EXPECT_EQ(read("TELMON", "Quoted"), u"  spaced  ");
    // The first section of a name is the one that counts.
    EXPECT_EQ(read("TelMon", "Other", QStringLiteral("none")), u"none");
    EXPECT_EQ(read("Zuzidivuz", "orphan", QStringLiteral("none")), u"none");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(read("Messages", "MsgTimer", QStringLiteral("Data")), u"Data");
    EXPECT_EQ(ReadProfileInt(QStringLiteral("Messages"), QStringLiteral("MsgTimer"), 20, path()),
              20);
    write("[Messages]\nMsgTimer=15\nEmpty=\n");
    EXPECT_EQ(read("Messages", "Missing"), u"");
    EXPECT_EQ(read("Nothing", "MsgTimer", QStringLiteral("d")), u"d");
    EXPECT_EQ(ReadProfileInt(QStringLiteral("Messages"), QStringLiteral("MsgTimer"), 20, path()),
              15);
    // A key that is present but empty is not missing.
    EXPECT_EQ(read("Messages", "Empty", QStringLiteral("d")), u"");
}

TEST_F(ProfileTest, ReadsAtMost254Characters)
{
    const QByteArray longValue(300, 'v');
    write("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(read("S", "K"), QString(254, u'v'));
    EXPECT_EQ(read("S", "Missing", QString(300, u'd')).size(), 254);
}

TEST_F(ProfileTest, IntegersReadTheirLeadingDigits)
{
    write("[S]\nplain=15\nunit=20s\nword=no\nneg=-3\nhex=0x10\nhuge=99999999999\n"
          "tiny=-99999999999\n");
    auto readInt = [&](const char *key) {
        return ReadProfileInt(QStringLiteral("S"), QString::fromUtf8(key), 7, path());
    };
    EXPECT_EQ(readInt("plain"), 15);
    EXPECT_EQ(readInt("unit"), 20);
    EXPECT_EQ(readInt("word"), 0);
    EXPECT_EQ(readInt("neg"), -3);
    EXPECT_EQ(readInt("hex"), 0);
    EXPECT_EQ(readInt("huge"), 2147483647);
    EXPECT_EQ(readInt("tiny"), -2147483647 - 1);
}

TEST_F(ProfileTest, WriteChangesOneLineAndKeepsEveryOtherByte)
{
    const QByteArray before = "; workstation settings\r\n"
                              "[Zuzidivuz]\r\n"
                              "VnPath = /inst   \r\n"
                              "Unknown=keep me\r\n"
                              "\r\n"
                              "[Messages]\r\n"
                              "MsgPortUsage=Host 1\r\n"
                              "; trailing comment\r\n"
                              "\r\n"
                              "[TelMon]\r\n"
                              "Caf\xe9=cp1252 \x93quoted\x94\r\n";
    write(before);
    ASSERT_NE(WriteProfileString(QStringLiteral("messages"), QStringLiteral("msgportusage"),
                                 QString(), path()),
              0);
    QByteArray expected = before;
    expected.replace("MsgPortUsage=Host 1", "MsgPortUsage=");
    EXPECT_EQ(contents(), expected);

    // A new key goes to the end of its section, before the blank separator.
    ASSERT_NE(WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("SoundCard"),
                                 QStringLiteral("1"), path()),
              0);
    expected.replace("Unknown=keep me\r\n", "Unknown=keep me\r\nSoundCard=1\r\n");
    EXPECT_EQ(contents(), expected);

    // A new section goes at the end, with the file's own line ends.
    ASSERT_NE(WriteProfileString(QStringLiteral("VoiceBoard"), QStringLiteral("Driver"),
                                 QStringLiteral("simulated"), path()),
              0);
    expected += "[VoiceBoard]\r\nDriver=simulated\r\n";
    EXPECT_EQ(contents(), expected);
    EXPECT_EQ(read("TelMon", "Café"), u"cp1252 \u201cquoted\u201d");
}

TEST_F(ProfileTest, WriteCreatesTheFileAndRoundTripsText)
{
    const QString value = QStringLiteral("Operator Zoë (desk 3)");
    ASSERT_NE(WriteProfileString(QStringLiteral("Messages"), QStringLiteral("MsgPortUsage"), value,
                                 path(QStringLiteral("new.ini"))),
              0);
    EXPECT_EQ(TestWorkstation::readFile(path(QStringLiteral("new.ini"))),
              "[Messages]\nMsgPortUsage=Operator Zo\xc3\xab (desk 3)\n");
    EXPECT_EQ(ReadProfileString(QStringLiteral("Messages"), QStringLiteral("MsgPortUsage"),
                                QString(), path(QStringLiteral("new.ini"))),
              value);
    // A file whose last line has no line end gets one before the new line.
    write("[S]\nA=1");
    ASSERT_NE(
        WriteProfileString(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2"), path()),
        0);
    EXPECT_EQ(contents(), "[S]\nA=1\nB=2\n");
}

TEST_F(ProfileTest, CleanedValuesCannotInjectLinesOrKeys)
{
    EXPECT_EQ(CleanProfileValue(QStringLiteral("  ab\r\nc\t  ")), u"abc");
    EXPECT_EQ(CleanProfileValue(QStringLiteral("\b x \b")), u"x");
    write("[Messages]\nMsgPortUsage=\n[Zuzidivuz]\nErrorLog=1\n");
    WriteProfileString(QStringLiteral("Messages"), QStringLiteral("MsgPortUsage"),
                       QStringLiteral("Evil\r\n[Zuzidivuz]\r\nErrorLog=0"), path());
    EXPECT_EQ(read("Zuzidivuz", "ErrorLog"), u"1");
    EXPECT_EQ(read("Messages", "MsgPortUsage"), u"Evil[Zuzidivuz]ErrorLog=0");
}

// Found by fuzzing: the writer kept a trailing no-break space that the reader
// took for a blank, so a value read back differently from what was written.
TEST_F(ProfileTest, ValuesEndingInOtherWhiteSpaceReadBackAsWritten)
{
    for (const QString &value : {QStringLiteral("5 \u00a0"), QStringLiteral("\u00a0x"),
                                 QStringLiteral("a\f"), QStringLiteral("\vb")}) {
        ASSERT_NE(WriteProfileString(QStringLiteral("S\u00a0"), QStringLiteral("K"), value, path()),
                  0);
        EXPECT_EQ(read("S\u00a0", "K"), value);
    }
    // Blanks and tabs around names and values are still not part of them.
    write("[ Messages\t]\n\tMsgTimer \t= 5 \t\n");
    EXPECT_EQ(read("Messages", "MsgTimer"), u"5");
}

TEST_F(ProfileTest, BareNamesResolveInTheSystemProfileFolder)
{
    TestWorkstation::writeFile(ws.systemFolder() + u"Bare.ini", "[S]\nK=v\n");
    EXPECT_EQ(ReadProfileString(QStringLiteral("S"), QStringLiteral("K"), QString(),
                                QStringLiteral("Bare.ini")),
              u"v");
    WriteProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("w"),
                       QStringLiteral("Bare.ini"));
    EXPECT_EQ(TestWorkstation::readFile(ws.systemFolder() + u"Bare.ini"), "[S]\nK=w\n");
}

TEST_F(ProfileTest, BrokenFilesReadAsDefaults)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    write(garbage);
    EXPECT_EQ(read("Messages", "MsgTimer", QStringLiteral("d")), u"d");

    write("[S]\nX=" + QByteArray(1024 * 1024, 'x') + "\nK=after the long line\n");
    EXPECT_EQ(read("S", "K"), u"after the long line");

    write("K=no sections at all\n");
    EXPECT_EQ(read("S", "K", QStringLiteral("d")), u"d");

    QDir().mkpath(path(QStringLiteral("folder.ini")));
    EXPECT_EQ(ReadProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("d"),
                                path(QStringLiteral("folder.ini"))),
              u"d");

    write("[S]\nK=v\n" + QByteArray(kMaxProfileBytes, '#'));
    EXPECT_EQ(read("S", "K", QStringLiteral("d")), u"d");
}

TEST_F(ProfileTest, UnreadableFileReadsAsDefaultAndIsNotOverwritten)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    write("[S]\nK=v\n");
    QFile::setPermissions(path(), QFileDevice::WriteOwner);
    EXPECT_EQ(read("S", "K", QStringLiteral("d")), u"d");
    EXPECT_EQ(
        WriteProfileString(QStringLiteral("S"), QStringLiteral("K2"), QStringLiteral("x"), path()),
        0);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(contents(), "[S]\nK=v\n");
}

TEST_F(ProfileTest, FailedWritesReturnZeroAndChangeNothing)
{
    // The target is a folder.
    QDir().mkpath(path(QStringLiteral("folder.ini")));
    EXPECT_EQ(WriteProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"),
                                 path(QStringLiteral("folder.ini"))),
              0);
    // The folder does not exist.
    EXPECT_EQ(WriteProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"),
                                 path(QStringLiteral("missing/x.ini"))),
              0);
    // Too large to be a settings file: left alone.
    const QByteArray big = "[S]\nK=v\n" + QByteArray(kMaxProfileBytes, '#');
    write(big);
    EXPECT_EQ(
        WriteProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("w"), path()),
        0);
    EXPECT_EQ(contents().size(), big.size());
    // A read-only folder: neither the lock nor the new file can be made.
    if (geteuid() != 0) {
        write("[S]\nK=v\n");
        QFile::setPermissions(ws.root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(WriteProfileString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("w"),
                                     path()),
                  0);
        QFile::setPermissions(ws.root(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        EXPECT_EQ(contents(), "[S]\nK=v\n");
    }
}

TEST_F(ProfileTest, ConcurrentWritersFromOtherProcessesLoseNothing)
{
    write("[Shared]\nStart=1\n");
    constexpr int kWriters = 3;
    constexpr int kKeysEach = 25;
    const QString file = path();
    pid_t pids[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        pids[w] = fork();
        ASSERT_GE(pids[w], 0);
        if (pids[w] == 0) {
            int failures = 0;
            for (int k = 0; k < kKeysEach; ++k) {
                const QString key = QStringLiteral("W%1K%2").arg(w).arg(k);
                failures += WriteProfileString(QStringLiteral("Shared"), key, key, file) == 0;
            }
            _exit(failures);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        for (int k = 0; k < kKeysEach; ++k) {
            const QString key = QStringLiteral("W%1K%2").arg(w).arg(k);
            EXPECT_EQ(ReadProfileString(QStringLiteral("Shared"), key, QString(), file), key);
        }
    }
    EXPECT_EQ(read("Shared", "Start"), u"1");
}

#include "shared/profile.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <climits>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace modVNQRN;
using namespace Qt::StringLiterals;

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
    QString read(const QString &section, const QString &key, const QString &def = QString(),
                 const QString &file = QString()) const
    {
        return ReadProfileString(section, key, def, file.isEmpty() ? path() : file);
    }
    int put(const QString &section, const QString &key, const QString &value,
            const QString &file = QString())
    {
        return WriteProfileString(section, key, value, file.isEmpty() ? path() : file);
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
};

// `text` as a Windows editor saves it: with a byte order mark, in UTF-16
// when asked.
QByteArray saved(const QString &text, const char *as)
{
    const QByteArray kind(as);
    if (kind == "ansi")
        return text.toUtf8();
    if (kind == "utf8bom")
        return "\xEF\xBB\xBF" + text.toUtf8();
    QByteArray out = kind == "utf16le" ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8);
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        out += kind == "utf16le" ? lo : hi;
        out += kind == "utf16le" ? hi : lo;
    }
    return out;
}

} // namespace

TEST_F(ProfileTest, LookupIgnoresCaseAndTakesTheFirstMatch)
{
    write("; comment\norphan=before any section\n"
          "[TelMon]\n  Delay = 5  \ndelay=6\nQuoted=\"  spaced  \"\n"
          "[telmon]\nOther=x\n"
          "[ Messages\t]\n\tMsgTimer \t= 5 \t\n");
    EXPECT_EQ(read(u"Telmon"_s, u"DELAY"_s), u"5");
    EXPECT_EQ(read(u"TELMON"_s, u"Quoted"_s), u"  spaced  ");
    // The first section of a name is the one that counts.
    EXPECT_EQ(read(u"TelMon"_s, u"Other"_s, u"none"_s), u"none");
    EXPECT_EQ(read(u"Zuzidivuz"_s, u"orphan"_s, u"none"_s), u"none");
    // Blanks and tabs around names and values are not part of them.
    EXPECT_EQ(read(u"Messages"_s, u"MsgTimer"_s), u"5");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefaultAndReadsStopAt254Characters)
{
    EXPECT_EQ(read(u"Messages"_s, u"MsgTimer"_s, u"Data"_s), u"Data");
    EXPECT_EQ(ReadProfileInt(u"Messages"_s, u"MsgTimer"_s, 20, path()), 20);
    write("[Messages]\nMsgTimer=15\nEmpty=\nLong=" + QByteArray(300, 'v') + "\n");
    EXPECT_EQ(read(u"Messages"_s, u"Missing"_s), u"");
    EXPECT_EQ(read(u"Nothing"_s, u"MsgTimer"_s, u"d"_s), u"d");
    EXPECT_EQ(ReadProfileInt(u"Messages"_s, u"MsgTimer"_s, 20, path()), 15);
    // A key that is present but empty is not missing.
    EXPECT_EQ(read(u"Messages"_s, u"Empty"_s, u"d"_s), u"");
    EXPECT_EQ(read(u"Messages"_s, u"Long"_s), QString(254, u'v'));
    EXPECT_EQ(read(u"Messages"_s, u"Missing"_s, QString(300, u'd')).size(), 254);
}

TEST_F(ProfileTest, IntegersReadTheirLeadingDigits)
{
    const std::pair<QByteArray, qint32> rows[] = {{"15", 15},
                                                  {"20s", 20},
                                                  {"no", 0},
                                                  {"-3", -3},
                                                  {"0x10", 0},
                                                  {"99999999999", INT_MAX},
                                                  {"-99999999999", INT_MIN}};
    for (const auto &[value, expected] : rows) {
        write("[S]\nK=" + value + "\n");
        EXPECT_EQ(ReadProfileInt(u"S"_s, u"K"_s, 7, path()), expected) << value.constData();
    }
}

TEST_F(ProfileTest, WriteChangesOneLineAndKeepsEveryOtherByte)
{
    const QByteArray before = "; workstation settings\r\n"
                              "[Zuzidivuz]\r\nVnPath = /inst   \r\nUnknown=keep me\r\n\r\n"
                              "[Messages]\r\nMsgPortUsage=Host 1\r\n; trailing comment\r\n\r\n"
                              "[TelMon]\r\nCaf\xe9=cp1252 \x93quoted\x94\r\n";
    write(before);
    ASSERT_NE(put(u"messages"_s, u"msgportusage"_s, QString()), 0);
    QByteArray expected = before;
    expected.replace("MsgPortUsage=Host 1", "MsgPortUsage=");
    EXPECT_EQ(contents(), expected);

    // A new key goes to the end of its section, before the blank separator.
    ASSERT_NE(put(u"Zuzidivuz"_s, u"SoundCard"_s, u"1"_s), 0);
    expected.replace("Unknown=keep me\r\n", "Unknown=keep me\r\nSoundCard=1\r\n");
    EXPECT_EQ(contents(), expected);

    // A new section goes at the end, with the file's own line ends.
    ASSERT_NE(put(u"VoiceBoard"_s, u"Driver"_s, u"simulated"_s), 0);
    expected += "[VoiceBoard]\r\nDriver=simulated\r\n";
    EXPECT_EQ(contents(), expected);
    // Bytes that are not UTF-8 read as Windows-1252.
    EXPECT_EQ(read(u"TelMon"_s, u"Café"_s), u"cp1252 \u201cquoted\u201d");
}

TEST_F(ProfileTest, WriteCreatesTheFileInUtf8AndRoundTripsText)
{
    const QString value = QStringLiteral("Operator Zoë (desk 3)");
    const QString created = path(u"new.ini"_s);
    ASSERT_NE(put(u"Messages"_s, u"MsgPortUsage"_s, value, created), 0);
    EXPECT_EQ(TestWorkstation::readFile(created),
              "[Messages]\nMsgPortUsage=Operator Zo\xc3\xab (desk 3)\n");
    EXPECT_EQ(read(u"Messages"_s, u"MsgPortUsage"_s, QString(), created), value);
    // A file whose last line has no line end gets one before the new line.
    write("[S]\nA=1");
    ASSERT_NE(put(u"S"_s, u"B"_s, u"2"_s), 0);
    EXPECT_EQ(contents(), "[S]\nA=1\nB=2\n");
}

TEST_F(ProfileTest, CleanedValuesCannotInjectLinesOrKeys)
{
    write("[Messages]\nMsgPortUsage=\n[Zuzidivuz]\nErrorLog=1\n");
    put(u"Messages"_s, u"MsgPortUsage"_s, u"\b Evil\r\n[Zuzidivuz]\r\nErrorLog=0\t "_s);
    EXPECT_EQ(read(u"Zuzidivuz"_s, u"ErrorLog"_s), u"1");
    EXPECT_EQ(read(u"Messages"_s, u"MsgPortUsage"_s), u"Evil[Zuzidivuz]ErrorLog=0");
}

// Found by fuzzing: the writer kept a trailing no-break space that the reader
// took for a blank, so a value read back differently from what was written.
TEST_F(ProfileTest, ValuesEndingInOtherWhiteSpaceReadBackAsWritten)
{
    for (const QString &value : {u"5 \u00a0"_s, u"\u00a0x"_s, u"a\f"_s, u"\vb"_s}) {
        ASSERT_NE(put(u"S\u00a0"_s, u"K"_s, value), 0);
        EXPECT_EQ(read(u"S\u00a0"_s, u"K"_s), value);
    }
}

// Files saved by Windows editors read as written, and a write keeps their
// encoding, byte order mark and line ends.
TEST_F(ProfileTest, FilesWithAByteOrderMarkOrInUtf16ReadAndKeepTheirEncoding)
{
    for (const char *as : {"ansi", "utf8bom", "utf16le", "utf16be"}) {
        for (const QString &eol : {u"\r\n"_s, u"\n"_s}) {
            SCOPED_TRACE(std::string(as) + (eol.size() == 2 ? " CRLF" : " LF"));
            const QString before = u"[Zuzidivuz]"_s + eol + u"VnPath=/inst/Z\u00fcrich \u20ac"_s +
                                   eol + u"[Messages]"_s + eol + u"MsgTimer=5"_s + eol;
            write(saved(before, as));
            EXPECT_EQ(read(u"zuzidivuz"_s, u"VnPath"_s), u"/inst/Z\u00fcrich \u20ac");
            EXPECT_EQ(ReadProfileInt(u"Messages"_s, u"MsgTimer"_s, 0, path()), 5);

            ASSERT_NE(put(u"Messages"_s, u"MsgPortUsage"_s, u"Z\u00fcrich"_s), 0);
            EXPECT_EQ(contents(), saved(before + u"MsgPortUsage=Z\u00fcrich"_s + eol, as));
            EXPECT_EQ(read(u"Messages"_s, u"MsgPortUsage"_s), u"Z\u00fcrich");
        }
    }
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

// Another program holding the lock (stuck, or slow) holds up a write for at
// most two seconds of monotonic time; the write that could not be made is
// reported and changes nothing. Once the holder is gone its lock is stale.
TEST_F(ProfileTest, AHeldLockGivesUpAfterTwoSecondsAndSaysSo)
{
    write("[S]\nK=v\n");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        QLockFile lock(path() + u".lock");
        const char ok = lock.tryLock(0) ? '1' : '0';
        (void)::write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');

    {
        FakeClock clock;
        const qint64 start = clock.monotonicMs();
        EXPECT_EQ(put(u"S"_s, u"K"_s, u"w"_s), 0);
        EXPECT_GE(clock.monotonicMs() - start, 2000);
        EXPECT_LT(clock.monotonicMs() - start, 2100);
    }
    EXPECT_EQ(contents(), "[S]\nK=v\n");
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text,
              u"Error 70 { 70-The settings file "_s + path() +
                  u" could not be written: another program has held its lock (" + path() +
                  u".lock) for more than 2 seconds } occurred at " +
                  prompter.boxes[0].text.section(u" occurred at "_s, 1));

    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_NE(put(u"S"_s, u"K"_s, u"w"_s), 0);
    EXPECT_EQ(read(u"S"_s, u"K"_s), u"w");
}

TEST_F(ProfileTest, BrokenFilesReadAsDefaultsAndFailedWritesChangeNothing)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    for (const QByteArray &body : {garbage, QByteArray("K=no sections at all\n")}) {
        write(body);
        EXPECT_EQ(read(u"S"_s, u"K"_s, u"d"_s), u"d");
    }
    write("[S]\nX=" + QByteArray(1024 * 1024, 'x') + "\nK=after the long line\n");
    EXPECT_EQ(read(u"S"_s, u"K"_s), u"after the long line");

    // A folder, or a file in a missing folder: nothing to read, nothing written.
    QDir().mkpath(path(u"folder.ini"_s));
    EXPECT_EQ(read(u"S"_s, u"K"_s, u"d"_s, path(u"folder.ini"_s)), u"d");
    EXPECT_EQ(put(u"S"_s, u"K"_s, u"v"_s, path(u"folder.ini"_s)), 0);
    EXPECT_EQ(put(u"S"_s, u"K"_s, u"v"_s, path(u"missing/x.ini"_s)), 0);

    // Too large to be a settings file: neither read nor touched.
    const QByteArray big = "[S]\nK=v\n" + QByteArray(kMaxProfileBytes, '#');
    write(big);
    EXPECT_EQ(read(u"S"_s, u"K"_s, u"d"_s), u"d");
    EXPECT_EQ(put(u"S"_s, u"K"_s, u"w"_s), 0);
    EXPECT_EQ(contents().size(), big.size());
    // Every failed write was told, naming the file.
    ASSERT_EQ(prompter.boxes.size(), 3);
    EXPECT_TRUE(prompter.boxes[0].text.contains(path(u"folder.ini"_s) + u" could not be written"));
    EXPECT_TRUE(prompter.boxes[1].text.contains(path(u"missing/x.ini"_s)));
    EXPECT_TRUE(prompter.boxes[2].text.contains(u"too large for a settings file"));
}

TEST_F(ProfileTest, UnreadableFileOrFolderIsNeitherReadNorReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    write("[S]\nK=v\n");
    QFile::setPermissions(path(), QFileDevice::WriteOwner);
    EXPECT_EQ(read(u"S"_s, u"K"_s, u"d"_s), u"d");
    EXPECT_EQ(put(u"S"_s, u"K2"_s, u"x"_s), 0);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // A read-only folder: neither the lock nor the new file can be made.
    QFile::setPermissions(ws.root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(put(u"S"_s, u"K"_s, u"w"_s), 0);
    QFile::setPermissions(ws.root(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(contents(), "[S]\nK=v\n");
}

TEST_F(ProfileTest, ConcurrentWritersFromOtherProcessesLoseNothing)
{
    write("[Shared]\nStart=1\n");
    constexpr int kWriters = 3;
    constexpr int kKeysEach = 25;
    const auto key = [](int w, int k) { return QStringLiteral("W%1K%2").arg(w).arg(k); };
    pid_t pids[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        pids[w] = fork();
        ASSERT_GE(pids[w], 0);
        if (pids[w] == 0) {
            // A write refused after two seconds of waiting for the lock (a
            // loaded machine) is tried again, as a caller that cares would.
            int failures = 0;
            for (int k = 0; k < kKeysEach; ++k) {
                int tries = 0;
                while (put(u"Shared"_s, key(w, k), key(w, k)) == 0 && ++tries < 3) {
                }
                failures += tries == 3;
            }
            _exit(failures);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeysEach; ++k)
            EXPECT_EQ(read(u"Shared"_s, key(w, k)), key(w, k));
    EXPECT_EQ(read(u"Shared"_s, u"Start"_s), u"1");
}

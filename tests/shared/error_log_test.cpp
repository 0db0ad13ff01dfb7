#include "shared/environment.h"
#include "shared/error_log.h"
#include "shared/profile.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace modVNQRN;

namespace
{

class ErrorLogTest : public ::testing::Test
{
protected:
    ErrorLogTest()
    {
        gsLocalPath = ws.root() + u"local/";
        gsLocalIni = gsLocalPath + u"QelLocal.ini";
        QDir().mkpath(gsLocalPath);
    }
    QString logPath() const { return gsLocalPath + u"Log260314.txt"; }
    QList<QByteArray> logLines() const
    {
        QList<QByteArray> lines = TestWorkstation::readFile(logPath()).split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        return lines;
    }
    // A log line whose whole length is `total` characters.
    static QString messageForLineLength(int total)
    {
        // "Mar14 09:30:00 " + "VN-Orvak" + " - '" + message + "'"
        return QString(total - 28, u'x');
    }

    TestWorkstation ws;
    FakeClock clock; // 2026-03-14 09:30:00
    RecordingPrompter prompter;
};

} // namespace

TEST_F(ErrorLogTest, ReportErrorLogsAndShowsTheComposedMessage)
{
    const Error e(errFileNotFound, QStringLiteral("File not found"), QStringLiteral("S"));
    ReportError(53, 0, e, QStringLiteral("VN-PHoneHelp"));
    const QString expected = QStringLiteral("Error 53 { 53-File not found } occurred at 0 in S... "
                                            "VN-PHoneHelp");
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text, expected);
    EXPECT_EQ(prompter.boxes[0].icon, MsgBoxIcon::Exclamation);
    EXPECT_EQ(prompter.boxes[0].title, u"Zuzidivuz Solutions (VN-Orvak)");
    EXPECT_EQ(prompter.pointers, QList<MousePointer>{MousePointer::Default});
    EXPECT_EQ(TestWorkstation::readFile(logPath()),
              "Mar14 09:30:00 VN-Orvak - '" + expected.toUtf8() + "'\r\n");
}

TEST_F(ErrorLogTest, ErrorsCarryTheirLineAndCustomaryText)
{
    const int line = __LINE__ + 1;
    const Error e(errOverflow);
    EXPECT_EQ(e.line(), line);
    EXPECT_EQ(e.description(), u"Overflow");
    EXPECT_EQ(e.source(), u"VNOrvak");
    ReportError(e, QStringLiteral("tab\there"));
    EXPECT_EQ(
        prompter.boxes.back().text,
        QStringLiteral("Error 6 { 6-Overflow } occurred at %1 in VNOrvak... tab<9>here").arg(line));
    ReportError(e, QString());
    EXPECT_TRUE(prompter.boxes.back().text.endsWith(u" in VNOrvak"));
}

TEST_F(ErrorLogTest, CurrentErrorTranslatesForeignExceptions)
{
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        const Error e = currentError();
        EXPECT_EQ(e.number(), errUnexpected);
        EXPECT_EQ(e.description(), u"boom");
    }
    try {
        throw std::bad_alloc();
    } catch (...) {
        EXPECT_EQ(currentError().number(), errOutOfMemory);
    }
}

TEST_F(ErrorLogTest, MakePrintableMarksControlAndNonAsciiCharacters)
{
    EXPECT_EQ(MakePrintable(QStringLiteral("a\r\nb\tc~")), u"a<13><10>b<9>c~");
    EXPECT_EQ(MakePrintable(QStringLiteral("\u00e9\u20ac\u0100\x7f")), u"<233><128>?<127>");
}

TEST_F(ErrorLogTest, LongLinesWrapIntoQuotedPieces)
{
    WriteLog(messageForLineLength(100));
    ASSERT_EQ(logLines().size(), 1);

    QFile::remove(logPath());
    WriteLog(messageForLineLength(102));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 101 + 1); // 100 characters, the closing quote, CR
    EXPECT_TRUE(lines[0].endsWith("x'\r"));
    EXPECT_EQ(lines[1], "   'x'\r");
}

TEST_F(ErrorLogTest, LineBreaksInTheMessageArePreferredCutPoints)
{
    // CR LF after position 60 of a 150-character line.
    WriteLog(QString(33, u'a') + u"\r\n" + QString(60, u'b'));
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("aaa<13><10>'\r"));
    EXPECT_TRUE(lines[1].startsWith("   'bbb"));

    // LF before CR: the piece ends after the first "<10>".
    QFile::remove(logPath());
    WriteLog(QString(33, u'a') + u"\n\r" + QString(60, u'b'));
    lines = logLines();
    EXPECT_TRUE(lines[0].endsWith("aaa<10>'\r"));
    EXPECT_TRUE(lines[1].startsWith("   '<13>bbb"));

    // Only CR markers: the line is cut at 100 characters.
    QFile::remove(logPath());
    WriteLog(QString(33, u'a') + u"\r" + QString(100, u'b'));
    lines = logLines();
    EXPECT_EQ(lines[0].size(), 102);
}

TEST_F(ErrorLogTest, OversizedLogIsSetAsideBeforeTheNextLine)
{
    const QString setAside = gsLocalPath + u"Log260314-ERR.txt";
    TestWorkstation::writeFile(logPath(), QByteArray(kMaxLogBytes, 'o'));
    WriteLog(QStringLiteral("at the limit"));
    EXPECT_FALSE(QFile::exists(setAside));
    EXPECT_EQ(QFileInfo(logPath()).size(), kMaxLogBytes + 42);

    WriteLog(QStringLiteral("over the limit"));
    EXPECT_EQ(QFileInfo(setAside).size(), kMaxLogBytes + 42);
    EXPECT_EQ(TestWorkstation::readFile(logPath()),
              "Mar14 09:30:00 VN-Orvak - 'over the limit'\r\n");

    // When the set-aside name is taken, the oversized log is discarded.
    TestWorkstation::writeFile(logPath(), QByteArray(kMaxLogBytes + 1, 'n'));
    WriteLog(QStringLiteral("fresh"));
    EXPECT_EQ(QFileInfo(setAside).size(), kMaxLogBytes + 42);
    EXPECT_EQ(TestWorkstation::readFile(logPath()), "Mar14 09:30:00 VN-Orvak - 'fresh'\r\n");
}

TEST_F(ErrorLogTest, LogFollowsTheCalendarDay)
{
    WriteLog(QStringLiteral("one"));
    clock.set(QDateTime(QDate(2026, 3, 15), QTime(0, 0, 1)));
    WriteLog(QStringLiteral("two"));
    EXPECT_EQ(TestWorkstation::readFile(gsLocalPath + u"Log260315.txt"),
              "Mar15 00:00:01 VN-Orvak - 'two'\r\n");
    EXPECT_EQ(logLines().size(), 1);
}

TEST_F(ErrorLogTest, SwitchedOffLogTouchesNothingButTheBoxStillShows)
{
    WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"), QStringLiteral("0"),
                       gsLocalIni);
    ReportError(Error(errDiskFull), QString());
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_EQ(prompter.boxes.size(), 1);
    // Read again on every call.
    WriteProfileString(QStringLiteral("Zuzidivuz"), QStringLiteral("ErrorLog"), QStringLiteral("2"),
                       gsLocalIni);
    ReportError(Error(errDiskFull), QString());
    EXPECT_TRUE(QFile::exists(logPath()));
}

TEST_F(ErrorLogTest, UnwritableLogFolderStillShowsTheBox)
{
    gsLocalPath = ws.root() + u"no/such/folder/";
    EXPECT_NO_THROW(ReportError(Error(errPathNotFound), QString()));
    EXPECT_EQ(prompter.boxes.size(), 1);

    // The log's name is taken by a folder.
    gsLocalPath = ws.root() + u"local/";
    QDir().mkpath(logPath());
    EXPECT_NO_THROW(ReportError(Error(errPathNotFound), QString()));
    EXPECT_EQ(prompter.boxes.size(), 2);

    // No local path: the installation root holds the log.
    gsLocalPath.clear();
    gsAppPath = ws.root() + u"inst";
    QDir().mkpath(gsAppPath);
    WriteLog(QStringLiteral("to the root"));
    EXPECT_TRUE(QFile::exists(gsAppPath + u"/Log260314.txt"));
}

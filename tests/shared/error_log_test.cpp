#include "shared/environment.h"
#include "shared/error_log.h"
#include "shared/profile.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>

using namespace modVNQRN;
using namespace Qt::StringLiterals;

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
    // The log's lines, each checked for its CR LF and without it.
    QList<QByteArray> logLines() const
    {
        QList<QByteArray> lines = TestWorkstation::readFile(logPath()).split('\n');
        lines.removeLast(); // what follows the last line end
        for (QByteArray &line : lines) {
            EXPECT_TRUE(line.endsWith('\r')) << line.constData();
            line.chop(1);
        }
        return lines;
    }

    TestWorkstation ws;
    FakeClock clock; // 2026-03-14 09:30:00
    RecordingPrompter prompter;
};

} // namespace

TEST_F(ErrorLogTest, ReportErrorLogsAndShowsTheComposedMessage)
{
    const Error e(errFileNotFound, u"File not found"_s, u"S"_s);
    ReportError(53, 0, e, u"VN-PHoneHelp"_s);
    const QString expected = QStringLiteral("Error 53 { 53-File not found } occurred at 0 in S... "
                                            "VN-PHoneHelp");
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text, expected);
    EXPECT_EQ(prompter.boxes[0].icon, MsgBoxIcon::Exclamation);
    EXPECT_EQ(prompter.boxes[0].title, u"Zuzidivuz Solutions (VN-Orvak)");
    EXPECT_EQ(prompter.pointers, QList<MousePointer>{MousePointer::Default});
    EXPECT_EQ(TestWorkstation::readFile(logPath()),
              "Mar14 09:30:00 VN-Orvak - '" + expected.toUtf8() + "'\r\n");

    // An error of our own carries the line that raised it; the context is
    // made printable (control and non-ASCII characters marked, "~" kept), and
    // an empty one is left out.
    const int line = __LINE__ + 1;
    const Error own(errOverflow);
    ReportError(own, u"tab\t~\u00e9\u20ac\u0100\x7f"_s);
    EXPECT_EQ(
        prompter.boxes.back().text,
        u"Error 6 { 6-Overflow } occurred at %1 in VNOrvak... tab<9>~<233><128>?<127>"_s.arg(line));
    ReportError(own, QString());
    EXPECT_TRUE(prompter.boxes.back().text.endsWith(u" in VNOrvak"));
}

TEST_F(ErrorLogTest, CurrentErrorTranslatesForeignExceptions)
{
    const auto translated = [](auto thrown) {
        try {
            throw thrown;
        } catch (...) {
            return currentError();
        }
    };
    EXPECT_EQ(translated(std::runtime_error("boom")).number(), errUnexpected);
    EXPECT_EQ(translated(std::runtime_error("boom")).description(), u"boom");
    EXPECT_EQ(translated(std::bad_alloc()).number(), errOutOfMemory);
}

// Lines longer than 100 characters go on in quoted pieces; a line-break
// marker, when there is one, is the preferred cut.
TEST_F(ErrorLogTest, LongLinesWrapIntoQuotedPieces)
{
    const QByteArray head = "Mar14 09:30:00 VN-Orvak - '";
    const QByteArray a(33, 'a'), b(60, 'b'), x(73, 'x');
    const struct {
        QByteArray message;
        QList<QByteArray> lines;
    } rows[] = {
        {x.left(72), {head + x.left(72) + "'"}}, // 100 characters: one line
        {x + "x", {head + x + "'", "   'x'"}},
        {a + "\r\n" + b, {head + a + "<13><10>'", "   '" + b + "'"}},
        {a + "\n\r" + b, {head + a + "<10>'", "   '<13>" + b + "'"}},
        // Only a CR marker: cut at 100 characters.
        {a + "\r" + b + b.left(40),
         {head + a + "<13>" + b.left(36) + "'", "   '" + b + b.left(4) + "'"}},
    };
    for (const auto &row : rows) {
        QFile::remove(logPath());
        WriteLog(QString::fromLatin1(row.message));
        EXPECT_EQ(logLines(), row.lines) << row.message.constData();
    }
}

TEST_F(ErrorLogTest, OversizedLogIsSetAsideAndEachDayHasItsOwn)
{
    const QString setAside = gsLocalPath + u"Log260314-ERR.txt";
    TestWorkstation::writeFile(logPath(), QByteArray(kMaxLogBytes, 'o'));
    WriteLog(u"at the limit"_s);
    EXPECT_FALSE(QFile::exists(setAside));
    EXPECT_EQ(QFileInfo(logPath()).size(), kMaxLogBytes + 42);

    WriteLog(u"over the limit"_s);
    EXPECT_EQ(QFileInfo(setAside).size(), kMaxLogBytes + 42);
    EXPECT_EQ(TestWorkstation::readFile(logPath()),
              "Mar14 09:30:00 VN-Orvak - 'over the limit'\r\n");

    // When the set-aside name is taken, the oversized log is discarded.
    TestWorkstation::writeFile(logPath(), QByteArray(kMaxLogBytes + 1, 'n'));
    WriteLog(u"fresh"_s);
    EXPECT_EQ(QFileInfo(setAside).size(), kMaxLogBytes + 42);
    EXPECT_EQ(TestWorkstation::readFile(logPath()), "Mar14 09:30:00 VN-Orvak - 'fresh'\r\n");

    clock.set(QDateTime(QDate(2026, 3, 15), QTime(0, 0, 1)));
    WriteLog(u"next day"_s);
    EXPECT_EQ(TestWorkstation::readFile(gsLocalPath + u"Log260315.txt"),
              "Mar15 00:00:01 VN-Orvak - 'next day'\r\n");
    EXPECT_EQ(logLines().size(), 1);
}

TEST_F(ErrorLogTest, ALogThatIsOffOrCannotBeWrittenStillLetsTheBoxShow)
{
    // Switched off, read again on every call.
    const auto setErrorLog = [](const QString &value) {
        WriteProfileString(u"Zuzidivuz"_s, u"ErrorLog"_s, value, gsLocalIni);
    };
    setErrorLog(u"0"_s);
    ReportError(Error(errDiskFull), QString());
    EXPECT_FALSE(QFile::exists(logPath()));
    setErrorLog(u"2"_s);
    WriteLog(u"on again"_s);
    EXPECT_TRUE(QFile::exists(logPath()));

    // The log's name is taken by a folder; then the folder does not exist.
    QFile::remove(logPath());
    QDir().mkpath(logPath());
    EXPECT_NO_THROW(ReportError(Error(errPathNotFound), QString()));
    gsLocalPath = ws.root() + u"no/such/folder/";
    EXPECT_NO_THROW(ReportError(Error(errPathNotFound), QString()));
    EXPECT_EQ(prompter.boxes.size(), 3);

    // No local path: the installation root holds the log.
    gsLocalPath.clear();
    gsAppPath = ws.root() + u"inst";
    QDir().mkpath(gsAppPath);
    WriteLog(u"to the root"_s);
    EXPECT_TRUE(QFile::exists(gsAppPath + u"/Log260314.txt"));

    // Neither, or the file system's root: the user's own folder, never "/".
    gsLocalPath.clear();
    for (const QString &root : {QString(), u"/"_s}) {
        gsAppPath = root;
        EXPECT_EQ(errorLogPath(appClock().now().date()), ws.localAppFolder() + u"Log260314.txt");
    }
    WriteLog(u"no installation"_s);
    EXPECT_TRUE(QFile::exists(ws.localAppFolder() + u"Log260314.txt"));
    EXPECT_FALSE(QFile::exists(u"/Log260314.txt"_s));
}

TEST(FileErrorNumberTest, SystemErrorsMapOntoTheDocumentedNumbers)
{
    const std::pair<int, qint32> rows[] = {
        {ENOSPC, errDiskFull},        {EDQUOT, errDiskFull},        {EACCES, errPermissionDenied},
        {EPERM, errPermissionDenied}, {EROFS, errPermissionDenied}, {ENOTDIR, errPathNotFound},
        {EIO, errPathFileAccess},     {EBUSY, errPathFileAccess},
    };
    for (const auto &[err, number] : rows)
        EXPECT_EQ(fileErrorNumber(err), number) << err;
    EXPECT_EQ(fileErrorNumber(ENOENT, errPathNotFound), errPathNotFound);
}

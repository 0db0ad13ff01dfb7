// The heard log: the control's marks reach it, a share that does not answer
// never holds up the control, and a failing write is logged once.

#include "control/heard_log.h"
#include "control/message_control.h"

#include "message_folder.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"
#include "shared/error_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class HeardLogTest : public ::testing::Test
{
protected:
    HeardLogTest()
    {
        ws.writeLocalIni(
            "[VoiceBoard]\nDriver=simulated\nTimeScale=0.001\n[Messages]\nMsgTimer=0\n");
        QDir().mkpath(ws.messagesFolder());
        control.InitializeForProgram(u"VN-Desk"_s);
    }

    HeardLog &log() { return *control.playback().findChild<HeardLog *>(); }
    QString logFile() const
    {
        return ws.root() + u"inst/VNT/Data/heard/" + heardLogFileName(u"desk3"_s, u"VN-Desk"_s);
    }
    void message(const QString &name)
    {
        writeMessageFile(ws.messagesFolder(), name + u".vox", QDateTime::currentDateTime());
    }
    int errorLogLines(const QString &text) const
    {
        const QByteArray log =
            TestWorkstation::readFile(modVNQRN::errorLogPath(QDate::currentDate()));
        return int(log.count(text.toUtf8()));
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    MessageControl control;
};

TEST_F(HeardLogTest, EachMarkOfTheControlIsOneLineOfItsWorkstation)
{
    log().setPlace(modVNQRN::gsDataPath, u"VN-Desk"_s, u"desk3"_s);
    message(u"NA000000201A"_s);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    control.core().MarkHeard(u"NA000000201A"_s);
    control.core().MarkHeard(u"NA000000202B"_s); // gone: purged
    ASSERT_TRUE(log().waitWritten(5000));

    const QList<QByteArray> lines = TestWorkstation::readFile(logFile()).split('\n');
    ASSERT_EQ(lines.size(), 3) << lines.join('|').constData();
    const auto first = parseHeardLogLine(QString::fromUtf8(lines[0]));
    ASSERT_TRUE(first);
    EXPECT_GE(first->time, before);
    EXPECT_EQ(first->host, u"desk3");
    EXPECT_EQ(first->program, u"VN-Desk");
    EXPECT_EQ(first->entity, u"000000201");
    EXPECT_EQ(first->message, u"NA000000201A");
    EXPECT_EQ(first->outcome, u"Renamed");
    EXPECT_EQ(parseHeardLogLine(QString::fromUtf8(lines[1]))->outcome, u"Purged");
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000201A.vox"));

    // A field with a tab or a line break cannot split the line.
    HeardLogEntry odd = *first;
    odd.program = u"VN\tDesk\n2"_s;
    EXPECT_EQ(parseHeardLogLine(QString::fromUtf8(formatHeardLogLine(odd)).trimmed())->program,
              u"VN Desk 2");
    EXPECT_FALSE(parseHeardLogLine(u"2026-03-14T08:41:07Z\tdesk3\tVN-Desk\t000000201"_s));
}

TEST_F(HeardLogTest, AShareThatDoesNotAnswerNeverHoldsUpAMark)
{
    // A named pipe with no reader blocks its writer, as a hung share does.
    log().setPlace(modVNQRN::gsDataPath, u"VN-Desk"_s, u"desk3"_s);
    QDir().mkpath(QFileInfo(logFile()).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(logFile()).constData(), 0644), 0);
    message(u"NA000000201A"_s);
    QElapsedTimer timer;
    timer.start();
    control.core().MarkHeard(u"NA000000201A"_s);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000201A.vox"));
    EXPECT_FALSE(log().waitWritten(50));

    // The share answers: the line arrives.
    const int reader = ::open(QFile::encodeName(logFile()).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(log().waitWritten(5000));
    char line[256] = {};
    EXPECT_GT(::read(reader, line, sizeof line - 1), 0);
    ::close(reader);
    EXPECT_TRUE(QByteArray(line).contains("\tNA000000201A\tRenamed\n")) << line;
}

TEST_F(HeardLogTest, AFailingWriteIsLoggedOnceAndFailsNoMark)
{
    // A file where the heard folder should be.
    TestWorkstation::writeFile(ws.root() + u"inst/VNT/Data/heard"_s, "in the way");
    log().setPlace(modVNQRN::gsDataPath, u"VN-Desk"_s, u"desk3"_s);
    for (const QString &name : {u"NA000000201A"_s, u"NA000000202A"_s}) {
        message(name);
        control.core().MarkHeard(name);
        ASSERT_TRUE(log().waitWritten(5000));
    }
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000202A.vox"));
    EXPECT_EQ(errorLogLines(u"cannot be written"_s), 1);
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));

    // It can be written again, then fails again: logged again.
    QFile::remove(ws.root() + u"inst/VNT/Data/heard"_s);
    message(u"NA000000203A"_s);
    control.core().MarkHeard(u"NA000000203A"_s);
    ASSERT_TRUE(log().waitWritten(5000));
    QDir(ws.root() + u"inst/VNT/Data/heard"_s).removeRecursively();
    TestWorkstation::writeFile(ws.root() + u"inst/VNT/Data/heard"_s, "in the way");
    message(u"NA000000204A"_s);
    control.core().MarkHeard(u"NA000000204A"_s);
    ASSERT_TRUE(log().waitWritten(5000));
    EXPECT_EQ(errorLogLines(u"cannot be written"_s), 2);
}

} // namespace

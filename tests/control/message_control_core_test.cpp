// The core: when a poll raises MsgUpdated, what a failing poll leaves
// behind, how entity ids are written, and what marking a played message heard
// does to the shared folder.

#include "message_folder.h"

#include "control/directory_reader.h"
#include "control/display_states.h"
#include "control/message_control_core.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"
#include "shared/error_log.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class CoreTest : public ::testing::Test
{
protected:
    CoreTest()
    {
        modVNQRN::gsLocalPath = ws.root();
        modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
        dir = ws.root() + u"messages/";
        core.store().msMsgDir = dir;
        QObject::connect(&core, &MessageControlCore::MsgUpdated, [this] {
            events.append(u"MsgUpdated@" + QString::number(core.lastState()));
        });
        QObject::connect(&core, &MessageControlCore::MarkedHeard,
                         [this](const QString &name, HeardOutcome outcome) {
                             outcomes.append({name, outcome});
                         });
    }

    QString path(const QString &name) const { return dir + name + u".vox"; }
    void write(const QString &name, const QByteArray &voice = "voice")
    {
        writeMessageFile(dir, name + u".vox", clock.now(), voice);
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    QString dir;
    MessageControlCore core;
    QStringList events;
    QList<std::pair<QString, HeardOutcome>> outcomes;
};

// Marking a played message heard: what becomes of the files, what the
// operator is told, and the outcome announced.
using MarkHeardTest = CoreTest;

// The folder on disk, on the file system the test says, and refusing the
// marker as a read-only share does.
class ReadOnlyShareReader final : public DirectoryReader
{
public:
    FileSystem fileSystem;

    bool open(const QByteArray &folder) override { return m_disk.open(folder); }
    bool next(const char *&name, Kind &kind) override { return m_disk.next(name, kind); }
    Status status(const char *name) override { return m_disk.status(name); }
    void close() override { m_disk.close(); }
    bool fileSystemOf(const QByteArray &, FileSystem &now) override
    {
        now = fileSystem;
        return true;
    }

private:
    FileSystemDirectoryReader m_disk;
};

} // namespace

TEST_F(CoreTest, TickRaisesMsgUpdatedOnlyWhenTheListChanges)
{
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@1")}); // state rendered first
    EXPECT_EQ(core.store().mlMsgCnt, 1);

    // Same names, another day and a rewritten file: no event.
    events.clear();
    clock.set(clock.now().addDays(1));
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(core.store().mlMsgTodayCnt, 1);

    // Heard on another workstation: one event, no new messages left.
    ASSERT_TRUE(QFile::rename(path(u"NA000000007A"_s), path(u"MA000000007A"_s)));
    core.tmrCalls_Timer();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@2")});

    // The folder emptied: empty list, zero counts, one event.
    events.clear();
    ASSERT_TRUE(QFile::remove(path(u"MA000000007A"_s)));
    core.tmrCalls_Timer();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@3")});
    EXPECT_TRUE(core.store().msMsgList.isEmpty());
    EXPECT_EQ(core.store().mlMsgCnt + core.store().mlNewMsgCnt + core.store().mlMsgTodayCnt, 0);
}

TEST_F(CoreTest, AFolderThatCannotBeListedIsReportedOnceAndItsReturnLogged)
{
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    events.clear();
    const QString log = modVNQRN::errorLogPath(clock.now().date());

    // Gone (unmounted, say): one box and one log line naming the folder, and
    // the list is not emptied as if the installation had no messages.
    ASSERT_TRUE(QDir(dir).removeRecursively());
    for (int i = 0; i < 3; ++i)
        core.tmrCalls_Timer();
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(
        prompter.boxes[0].text.startsWith(u"The messages folder " + dir + u" cannot be read"))
        << prompter.boxes[0].text.toStdString();
    EXPECT_TRUE(core.folderOutage());
    EXPECT_EQ(core.store().msMsgList, u"NA000000007A");
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(QString::fromLatin1(TestWorkstation::readFile(log)).count(dir), 1);

    // Back: a log line, no box, and the polls go on as before.
    write(u"NA000000007B"_s);
    core.tmrCalls_Timer();
    core.tmrCalls_Timer();
    EXPECT_EQ(prompter.boxes.size(), 1);
    EXPECT_FALSE(core.folderOutage());
    EXPECT_EQ(core.store().mlMsgCnt, 1);
    EXPECT_EQ(events.size(), 1);
    // Log lines are written in pieces of 100 characters.
    const QString logged =
        QString::fromLatin1(TestWorkstation::readFile(log)).remove(u"'\r\n   '"_s);
    EXPECT_TRUE(logged.contains(u"The messages folder " + dir + u" can be read again"))
        << logged.toStdString();

    // A second outage is reported again.
    ASSERT_TRUE(QDir(dir).removeRecursively());
    core.tmrCalls_Timer();
    EXPECT_EQ(prompter.boxes.size(), 2);
}

TEST_F(CoreTest, TheEmptyMountPointOfAShareThatWentAwayIsAnOutage)
{
    // A fresh installation's empty folder is no outage.
    QDir().mkpath(dir);
    core.tmrCalls_Timer();
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_FALSE(QFile::exists(dir + QLatin1StringView(kFolderMarker)));

    // The first message marks the folder as the installation's.
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    EXPECT_TRUE(QFile::exists(dir + QLatin1StringView(kFolderMarker)));

    // Unmounted cleanly: the mount point is empty, the marker gone with the share.
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir + name);
    core.tmrCalls_Timer();
    core.tmrCalls_Timer();
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.contains(u"has lost its marker"))
        << prompter.boxes[0].text.toStdString();
    EXPECT_EQ(core.store().msMsgList, u"NA000000007A");

    // Mounted again.
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    EXPECT_FALSE(core.folderOutage());
    // Emptied by the purge, the marker stays: no outage.
    QFile::remove(path(u"NA000000007A"_s));
    core.tmrCalls_Timer();
    EXPECT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(core.store().msMsgList, u"");
}

TEST_F(CoreTest, AShareNotMountedWhenTheControlStartsIsAnOutageFromTheFirstPoll)
{
    constexpr quint64 kFuse = 0x65735546;
    constexpr quint64 kExt4 = 0xEF53;
    ReadOnlyShareReader share;
    share.fileSystem = {kFuse, true};
    core.folderReader().setDirectoryReader(&share);
    write(u"NA000000007A"_s);
    core.tmrCalls_Timer();
    EXPECT_EQ(core.store().mlMsgCnt, 1);
    EXPECT_FALSE(QFile::exists(dir + QLatin1StringView(kFolderMarker)));

    // Unmounted; a control started now finds the bare mount point on the
    // root's file system.
    QFile::remove(path(u"NA000000007A"_s));
    share.fileSystem = {kExt4, false};
    MessageControlCore started;
    started.setTimerEnabled(false);
    started.store().msMsgDir = dir;
    started.folderReader().setDirectoryReader(&share);
    started.tmrCalls_Timer();
    started.tmrCalls_Timer();
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.contains(u"not on the file system its messages were"))
        << prompter.boxes[0].text.toStdString();
    EXPECT_TRUE(started.folderOutage());
    const QString log = modVNQRN::errorLogPath(clock.now().date());
    EXPECT_EQ(QString::fromLatin1(TestWorkstation::readFile(log)).count(dir), 1);

    // Mounted again: logged.
    share.fileSystem = {kFuse, true};
    write(u"NA000000007A"_s);
    started.tmrCalls_Timer();
    EXPECT_FALSE(started.folderOutage());
    EXPECT_EQ(started.store().mlMsgCnt, 1);
    const QString logged =
        QString::fromLatin1(TestWorkstation::readFile(log)).remove(u"'\r\n   '"_s);
    EXPECT_TRUE(logged.contains(u"The messages folder " + dir + u" can be read again"));

    // Emptied by the purge on the same share: no outage. No longer a mount
    // point, though on a file system of the same kind (a disk mounted on a
    // disk): an outage again.
    QFile::remove(path(u"NA000000007A"_s));
    started.tmrCalls_Timer();
    EXPECT_FALSE(started.folderOutage());
    share.fileSystem = {kFuse, false};
    started.tmrCalls_Timer();
    EXPECT_TRUE(started.folderOutage());
    EXPECT_EQ(prompter.boxes.size(), 2);
}

TEST_F(CoreTest, AMessageLeftParkedByAStoppedMarkIsPutInPlaceByALaterPoll)
{
    // A workstation stopped between its two renames; a parked name is no
    // message name, so the list leaves it out meanwhile.
    writeMessageFile(dir, u"NA000000007A.heard-ws2-41-3.vox"_s, clock.now(), "parked");
    core.tmrCalls_Timer();
    EXPECT_EQ(core.store().msMsgList, u"");
    clock.advanceMs((MessageControlCore::kParkedGraceSecs - 1) * 1000);
    core.tmrCalls_Timer();
    EXPECT_FALSE(QFile::exists(path(u"MA000000007A"_s))); // a mark in progress is left alone

    clock.advanceMs(2000);
    core.tmrCalls_Timer();
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007A"_s)), "parked");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{u"MA000000007A.vox"_s});
    core.tmrCalls_Timer();
    EXPECT_EQ(core.store().msMsgList, u"MA000000007A");
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(CoreTest, AnUnreadableFolderIsReportedAndTheTimerStaysOn)
{
    ASSERT_TRUE(QFile::link(ws.root() + u"loop", ws.root() + u"loop"));
    core.store().msMsgDir = ws.root() + u"loop/";
    core.setTimerEnabled(false);
    core.tmrCalls_Timer();
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.contains(u"Path/File access error"))
        << prompter.boxes[0].text.toStdString();
    EXPECT_TRUE(core.timerRunning());
    core.tmrCalls_Timer();
    EXPECT_EQ(prompter.boxes.size(), 1); // once, not at every poll
}

TEST(FormatEntityID, PadsWholeNumbersToNineDigitsAndKeepsOtherText)
{
    const std::pair<const char16_t *, const char16_t *> rows[] = {
        {u"7", u"000000007"},   {u"12.5", u"000000013"}, {u"1234567890", u"1234567890"},
        {u"-5", u"-000000005"}, {u"abc", u"abc"},        {u"", u""},
    };
    for (const auto &[id, formatted] : rows)
        EXPECT_EQ(MessageControlCore::FormatEntityID(QString::fromUtf16(id)), formatted)
            << QString::fromUtf16(id).toStdString();
}

TEST_F(MarkHeardTest, EachCaseEndsInItsOutcomeAndLosesNoMessage)
{
    write(u"NA000000007A"_s, "only new");
    write(u"MA000000007B"_s, "heard elsewhere");
    write(u"NA000000007C"_s, "newer copy");
    write(u"MA000000007C"_s, "another message");
    write(u"NA000000007E"_s, "blocked");
    QDir().mkpath(path(u"MA000000007E"_s)); // not a message, but it holds the heard name
    write(u"NA000000007F"_s, "played");
    core.tmrCalls_Timer();
    core.InitializeForID(u"7"_s);
    const qint32 newBefore = core.store().mlNewMsgCnt;

    // 7F: a newer recording takes the new name while the older one plays.
    FileFacts played;
    ASSERT_EQ(messageFileSystem().stat(path(u"NA000000007F"_s), played), 0);
    ASSERT_TRUE(QFile::rename(path(u"NA000000007F"_s), path(u"MA000000007F"_s)));
    write(u"NA000000007F"_s, "recorded later");

    core.MarkHeard(u"NA000000007A"_s);
    core.MarkHeard(u"NA000000007B"_s); // its heard file alone is there
    core.MarkHeard(u"NA000000007C"_s);
    core.MarkHeard(u"NA000000007D"_s); // neither file: purged
    core.MarkHeard(u"MA000000007B"_s); // already heard: nothing to do
    core.MarkHeard(u"NA000000007E"_s);
    core.MarkHeard(u"NA000000007F"_s, played);

    EXPECT_EQ(outcomes, (QList<std::pair<QString, HeardOutcome>>{
                            {u"NA000000007A"_s, HeardOutcome::Renamed},
                            {u"NA000000007B"_s, HeardOutcome::HeardElsewhere},
                            {u"NA000000007C"_s, HeardOutcome::HeardNameTaken},
                            {u"NA000000007D"_s, HeardOutcome::Purged},
                            {u"MA000000007B"_s, HeardOutcome::AlreadyHeard},
                            {u"NA000000007E"_s, HeardOutcome::Failed},
                            {u"NA000000007F"_s, HeardOutcome::NewerCopyKept},
                        }));
    ASSERT_EQ(prompter.boxes.size(), 4);
    EXPECT_EQ(prompter.texts().mid(0, 3),
              (QStringList{u"This message has been played on another workstation"_s,
                           u"This message cannot be marked as heard: another message already "
                           u"has its heard name MA000000007C.\r\nIt stays new."_s,
                           u"This message has been removed by the purge process"_s}));
    EXPECT_TRUE(prompter.boxes[3].text.startsWith(u"Error 58 { 58-Cannot rename "))
        << prompter.boxes[3].text.toStdString();
    // Nothing was replaced: every message is there once, with its contents.
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007A"_s)), "only new");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007B"_s)), "heard elsewhere");
    EXPECT_EQ(TestWorkstation::readFile(path(u"NA000000007C"_s)), "newer copy");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007C"_s)), "another message");
    EXPECT_EQ(TestWorkstation::readFile(path(u"NA000000007F"_s)), "recorded later");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007F"_s)), "played");
    EXPECT_FALSE(QFile::exists(path(u"NA000000007A"_s)));
    // The failed rename leaves its file and its list entry to the next poll.
    EXPECT_EQ(TestWorkstation::readFile(path(u"NA000000007E"_s)), "blocked");
    // Messages that stay new keep their new names in the lists.
    EXPECT_EQ(core.store().msMsgList, u"MA000000007A,MA000000007B,NA000000007C,MA000000007C,"
                                      u"NA000000007E,NA000000007F"_s);
    EXPECT_EQ(core.store().mlNewMsgCnt, newBefore - 3);
}

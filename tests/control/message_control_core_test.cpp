// The core: when a poll raises MsgUpdated, what a failing poll leaves
// behind, how entity ids are written, and what marking a played message heard
// does to the shared folder.

#include "message_folder.h"

#include "control/display_states.h"
#include "control/message_control_core.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

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

    // The folder itself gone: no error, still empty, no event.
    ASSERT_TRUE(QDir(dir).removeRecursively());
    core.tmrCalls_Timer();
    EXPECT_EQ(events.size(), 1);
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
    write(u"MA000000007C"_s, "stale copy");
    write(u"NA000000007E"_s, "blocked");
    QDir().mkpath(path(u"MA000000007E"_s)); // not a message, but it holds the heard name
    core.tmrCalls_Timer();
    core.InitializeForID(u"7"_s);
    const qint32 newBefore = core.store().mlNewMsgCnt;

    core.MarkHeard(u"NA000000007A"_s);
    core.MarkHeard(u"NA000000007B"_s); // its heard file alone is there
    core.MarkHeard(u"NA000000007C"_s);
    core.MarkHeard(u"NA000000007D"_s); // neither file: purged
    core.MarkHeard(u"MA000000007B"_s); // already heard: nothing to do
    core.MarkHeard(u"NA000000007E"_s);

    EXPECT_EQ(outcomes, (QList<std::pair<QString, HeardOutcome>>{
                            {u"NA000000007A"_s, HeardOutcome::Renamed},
                            {u"NA000000007B"_s, HeardOutcome::HeardElsewhere},
                            {u"NA000000007C"_s, HeardOutcome::ReplacedStale},
                            {u"NA000000007D"_s, HeardOutcome::Purged},
                            {u"MA000000007B"_s, HeardOutcome::AlreadyHeard},
                            {u"NA000000007E"_s, HeardOutcome::Failed},
                        }));
    ASSERT_EQ(prompter.boxes.size(), 3);
    EXPECT_EQ(prompter.texts().mid(0, 2),
              (QStringList{u"This message has been played on another workstation"_s,
                           u"This message has been removed by the purge process"_s}));
    EXPECT_TRUE(prompter.boxes[2].text.startsWith(u"Error 58 { 58-Cannot rename "))
        << prompter.boxes[2].text.toStdString();
    // The newer copy took the place of the stale one; every message is there once.
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007A"_s)), "only new");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007B"_s)), "heard elsewhere");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007C"_s)), "newer copy");
    EXPECT_FALSE(QFile::exists(path(u"NA000000007A"_s)));
    EXPECT_FALSE(QFile::exists(path(u"NA000000007C"_s)));
    // The failed rename leaves its file and its list entry to the next poll.
    EXPECT_EQ(TestWorkstation::readFile(path(u"NA000000007E"_s)), "blocked");
    // Both names of 7C were listed; both now read heard until the next poll.
    EXPECT_EQ(core.store().msMsgList,
              u"MA000000007A,MA000000007B,MA000000007C,MA000000007C,NA000000007E"_s);
    EXPECT_EQ(core.store().mlNewMsgCnt, newBefore - 4);
}

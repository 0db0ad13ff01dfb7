// The core's polling: when MsgUpdated is raised, what a failing tick leaves
// behind, and how entity ids are written.

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
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    QString dir;
    MessageControlCore core;
    QStringList events;
};

} // namespace

TEST_F(CoreTest, TickRaisesMsgUpdatedOnlyWhenTheListChanges)
{
    writeMessageFile(dir, QStringLiteral("NA000000007A.vox"), clock.now().addSecs(-5));
    core.tmrCalls_Timer();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@1")}); // state rendered first
    EXPECT_EQ(core.store().mlMsgCnt, 1);

    // Same names, another day and a rewritten file: no event.
    events.clear();
    clock.set(clock.now().addDays(1));
    writeMessageFile(dir, QStringLiteral("NA000000007A.vox"), clock.now());
    core.tmrCalls_Timer();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(core.store().mlMsgTodayCnt, 1);

    // Heard on another workstation: one event, no new messages left.
    ASSERT_TRUE(QFile::rename(dir + u"NA000000007A.vox", dir + u"MA000000007A.vox"));
    core.tmrCalls_Timer();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@2")});

    // The folder emptied: empty list, zero counts, one event.
    events.clear();
    ASSERT_TRUE(QFile::remove(dir + u"MA000000007A.vox"));
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

    // An interval of 0 never fires, even when enabled.
    core.setTimerInterval(0);
    core.setTimerEnabled(true);
    EXPECT_FALSE(core.timerRunning());
    core.setTimerInterval(20000);
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

#include "message_folder.h"

#include "control/display_states.h"
#include "control/message_control_core.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace VNOrvak;

namespace
{

class Renderer final : public DisplayRenderer
{
public:
    void ShowState(int state, const QString &text) override { states.append({state, text}); }
    void ClearNotes() override { ++notesCleared; }
    QList<std::pair<int, QString>> states;
    int notesCleared = 0;
};

class CoreTest : public ::testing::Test
{
protected:
    CoreTest()
    {
        modVNQRN::gsLocalPath = ws.root();
        modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
        TestWorkstation::writeFile(modVNQRN::gsLocalIni,
                                   "[VoiceBoard]\nDriver=simulated\nTimeScale=0.001\n");
        dir = ws.root() + u"messages/";
        core.store().msMsgDir = dir;
        core.setRenderer(&renderer);
        QObject::connect(&core, &MessageControlCore::MsgUpdated, [this] {
            events.append(QStringLiteral("MsgUpdated@") + QString::number(core.lastState()));
        });
        QObject::connect(&core, &MessageControlCore::FinishedPlayingNewMsg,
                         [this] { events.append(QStringLiteral("Finished")); });
        QObject::connect(&core, &MessageControlCore::IDChanged,
                         [this](const QString &id, bool &hasNew, const QString &code) {
                             events.append(u"IDChanged " + id + u' ' + (hasNew ? u"new" : u"old") +
                                           u' ' + code);
                             hasNew = !hasNew; // ignored by the control
                         });
    }

    void write(const QString &name) { writeMessageFile(dir, name, clock.now().addSecs(-5)); }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    QString dir;
    MessageControlCore core;
    Renderer renderer;
    QStringList events;
};

} // namespace

TEST_F(CoreTest, TickRaisesMsgUpdatedOnlyWhenTheListChanges)
{
    EXPECT_TRUE(core.timerRunning());
    EXPECT_EQ(core.timerInterval(), 30);
    write(QStringLiteral("NA000000007A.vox"));
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

TEST_F(CoreTest, TickReportsErrorsAndAlwaysEndsWithTheTimerOn)
{
    ASSERT_TRUE(QFile::link(ws.root() + u"loop", ws.root() + u"loop"));
    core.store().msMsgDir = ws.root() + u"loop/";
    core.setTimerEnabled(false);
    core.tmrCalls_Timer();
    EXPECT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(core.timerRunning());

    // Switching the polling off inside MsgUpdated does not stop it.
    core.store().msMsgDir = dir;
    write(QStringLiteral("NA000000001A.vox"));
    QObject::connect(&core, &MessageControlCore::MsgUpdated,
                     [this] { core.setTimerEnabled(false); });
    core.tmrCalls_Timer();
    EXPECT_TRUE(core.timerEnabled());
    EXPECT_TRUE(core.timerRunning());

    // An interval of 0 never fires, even when enabled.
    core.setTimerInterval(0);
    core.setTimerEnabled(true);
    EXPECT_FALSE(core.timerRunning());
    core.setTimerInterval(20000);
    EXPECT_TRUE(core.timerRunning());
}

TEST_F(CoreTest, RescanRaisesMsgUpdatedWheneverTheFolderHoldsMessages)
{
    write(QStringLiteral("MA000000001A.vox"));
    core.tmrCalls_Timer();
    events.clear();
    core.RescanMessages();
    EXPECT_EQ(events, QStringList{QStringLiteral("MsgUpdated@2")});

    core.store().mlEntityMsgCnt = 5;
    core.ResetMessageState();
    EXPECT_EQ(core.store().mlEntityMsgCnt, 0);
    EXPECT_TRUE(core.store().msMsgList.isEmpty());
}

TEST_F(CoreTest, InitializeForIDSelectsTheEntityAndRaisesIDChanged)
{
    write(QStringLiteral("NA000001234A.vox"));
    write(QStringLiteral("MA000000007A.vox"));
    core.tmrCalls_Timer();
    events.clear();

    core.InitializeForID(QStringLiteral("1234"), QStringLiteral("X"));
    EXPECT_EQ(core.store().msEntityID, u"000001234");
    EXPECT_EQ(core.store().msEntityList, u"NA000001234A");
    EXPECT_EQ(events, QStringList{QStringLiteral("IDChanged 1234 new X")});
    EXPECT_EQ(renderer.states.back().first, dsNewMessages);
    EXPECT_EQ(renderer.notesCleared, 1);

    // "" selects nothing and keeps the entity list.
    events.clear();
    core.InitializeForID(QString());
    EXPECT_EQ(events, QStringList{QStringLiteral("IDChanged  old ")});
    EXPECT_EQ(core.store().msEntityList, u"NA000001234A");

    EXPECT_EQ(MessageControlCore::FormatEntityID(QStringLiteral("7")), u"000000007");
    EXPECT_EQ(MessageControlCore::FormatEntityID(QStringLiteral("12.5")), u"000000013");
    EXPECT_EQ(MessageControlCore::FormatEntityID(QStringLiteral("1234567890")), u"1234567890");
    EXPECT_EQ(MessageControlCore::FormatEntityID(QStringLiteral("-5")), u"-000000005");
    EXPECT_EQ(MessageControlCore::FormatEntityID(QStringLiteral("abc")), u"abc");
}

TEST_F(CoreTest, ResolveMessageFileBeforePlaying)
{
    write(QStringLiteral("NA000000007A.vox"));
    write(QStringLiteral("NA000000007B.vox"));
    core.tmrCalls_Timer();
    core.InitializeForID(QStringLiteral("7"));
    events.clear();

    EXPECT_EQ(core.ResolveMessageFile(QStringLiteral("NA000000007A")), u"NA000000007A");
    EXPECT_TRUE(events.isEmpty());

    // Heard on another workstation: its heard name, one event, no box.
    ASSERT_TRUE(QFile::rename(dir + u"NA000000007B.vox", dir + u"MA000000007B.vox"));
    EXPECT_EQ(core.ResolveMessageFile(QStringLiteral("NA000000007B")), u"MA000000007B");
    EXPECT_EQ(events, QStringList{QStringLiteral("Finished")});
    EXPECT_TRUE(prompter.boxes.isEmpty());
    EXPECT_EQ(core.store().msEntityList, u"NA000000007A,MA000000007B");
    EXPECT_EQ(core.store().mlNewMsgCnt, 1);

    // Deleted: the operator is told, then rescan, reselect, MsgUpdated.
    events.clear();
    ASSERT_TRUE(QFile::remove(dir + u"NA000000007A.vox"));
    EXPECT_EQ(core.ResolveMessageFile(QStringLiteral("NA000000007A")), u"");
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_EQ(prompter.boxes[0].text, u"A message has been deleted.\r\nThe messanger will refresh "
                                      u"itself\r\nbefore playing another message.");
    EXPECT_EQ(prompter.boxes[0].icon, modVNQRN::MsgBoxIcon::Information);
    EXPECT_EQ(events, (QStringList{QStringLiteral("MsgUpdated@2"),
                                   QStringLiteral("IDChanged 000000007 old "),
                                   QStringLiteral("MsgUpdated@2")}));
    EXPECT_EQ(core.store().msEntityList, u"MA000000007B");
}

// The control as the host sees it: start-up, entity selection, settings,
// polling and its failures.

#include "control/display_states.h"
#include "control/message_control.h"

#include "message_folder.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/error.h"
#include "shared/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

// A workstation whose local settings name an installation in the same
// temporary folder, with an empty messages folder.
class MessageControlTest : public ::testing::Test
{
protected:
    MessageControlTest()
    {
        ws.writeLocalIni("[VoiceBoard]\nDriver=simulated\nTimeScale=0.001\n");
        QDir().mkpath(messages());
        // The events in the order they arrive.
        QObject::connect(&control, &MessageControl::MsgUpdated,
                         [this] { events << QStringLiteral("MsgUpdated"); });
        QObject::connect(
            &control, &MessageControl::IDChanged,
            [this](const QString &id, bool &hasNew, const QString &code) {
                events << QStringLiteral("IDChanged(%1,%2,%3)").arg(id, hasNew ? u"1" : u"0", code);
                hasNew = !hasNew; // ignored by the control
            });
    }

    QString messages() const { return ws.messagesFolder(); }
    void setMsgTimer(const QString &seconds)
    {
        modVNQRN::WriteProfileString(u"Messages"_s, u"MsgTimer"_s, seconds, ws.localIni());
    }
    void message(const char *name)
    {
        writeMessageFile(messages(), QString::fromUtf8(name),
                         QDateTime(QDate(2026, 3, 14), QTime(8, 0)));
    }
    template <typename T> T *child(const char *name)
    {
        return control.findChild<T *>(QString::fromUtf8(name));
    }

    TestWorkstation ws;
    FakeClock clock; // 2026-03-14 09:30
    RecordingPrompter prompter;
    MessageControl control;
    QStringList events;
};

} // namespace

TEST_F(MessageControlTest, StartUpScansRaisesMsgUpdatedThenIDChanged)
{
    message("NA000000007A.vox");
    message("MA000000003A.vox");
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("MsgUpdated"), QStringLiteral("MsgUpdated"),
                                   QStringLiteral("IDChanged(,0,)")}));
    EXPECT_EQ(control.Messages(), u"MA000000003A,NA000000007A");
    EXPECT_EQ(control.MsgCnt(), 2);
    EXPECT_EQ(control.NewMsgCnt(), 1);
    EXPECT_EQ(control.MsgTodayCnt(), 2);
    EXPECT_EQ(control.LastMsgDate(), QDateTime(QDate(2026, 3, 14), QTime(8, 0)));
    EXPECT_EQ(control.core().lastState(), dsNewMessages);
    EXPECT_EQ(control.property("MsgCnt").toInt(), 2);

    // An empty folder: the rescan finds no change, the start-up still tells.
    QFile::remove(messages() + u"NA000000007A.vox");
    QFile::remove(messages() + u"MA000000003A.vox");
    events.clear();
    control.InitializeForProgram(QStringLiteral("VN-Console"));
    EXPECT_EQ(events.first(), u"MsgUpdated");
    EXPECT_EQ(control.core().lastState(), dsNoMessages);
}

TEST_F(MessageControlTest, InitializeForIDReportsTheIdAsGivenAndWhetherItHasNewMessages)
{
    message("NA000001234A.vox");
    message("MA000001234B.vox");
    message("MA000000005A.vox");
    control.InitializeForProgram(QStringLiteral("VN"));
    events.clear();
    control.InitializeForID(QStringLiteral("1234"), QStringLiteral("X9"));
    control.InitializeForID(QStringLiteral("5"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("IDChanged(1234,1,X9)"),
                                   QStringLiteral("IDChanged(5,0,)")}));
    EXPECT_EQ(control.core().store().msEntityID, u"000000005");
    EXPECT_EQ(child<QLabel>("lblMessages")->text(), u"1 message");

    // No entity: the event says so and the entity list stays as it was.
    control.InitializeForID(QString());
    EXPECT_EQ(events.last(), u"IDChanged(,0,)");
    EXPECT_EQ(control.core().store().msEntityList, u"MA000000005A");
    EXPECT_FALSE(child<QPushButton>("cmdPlayAll")->isEnabled());
}

TEST_F(MessageControlTest, MsgTimerSetsThePollingAndEnabledSwitchesIt)
{
    control.Terminate(); // before start-up: nothing to do
    control.InitializeForProgram(QStringLiteral("VN"));
    EXPECT_EQ(control.core().timerInterval(), 20000);

    setMsgTimer(u"0"_s);
    control.InitializeForProgram(QStringLiteral("VN"));
    EXPECT_FALSE(control.core().timerRunning());

    message("NA000000001A.vox");
    setMsgTimer(u"1"_s);
    control.InitializeForProgram(QStringLiteral("VN"));
    control.InitializeForID(QStringLiteral("1"));
    EXPECT_EQ(control.core().timerInterval(), 1000);
    control.setProperty("Enabled", false);
    EXPECT_FALSE(control.core().timerRunning());
    control.SetEnabled(true);
    EXPECT_TRUE(control.Enabled());

    // The timer picks up another workstation's rename.
    QSignalSpy updated(&control, &MessageControl::MsgUpdated);
    QFile::rename(messages() + u"NA000000001A.vox", messages() + u"MA000000001A.vox");
    ASSERT_TRUE(updated.wait(5000));
    EXPECT_EQ(updated.count(), 1);
    EXPECT_EQ(control.Messages(), u"MA000000001A");
    EXPECT_EQ(control.core().lastState(), dsNoNewMessages);
    EXPECT_FALSE(child<QPushButton>("cmdNewMsg")->isEnabled());

    // Switched off inside a MsgUpdated handler: the tick switches it on again.
    QObject::connect(&control, &MessageControl::MsgUpdated, [this] { control.SetEnabled(false); });
    message("NA000000002A.vox");
    control.core().tmrCalls_Timer();
    EXPECT_FALSE(control.Enabled());
    EXPECT_TRUE(control.core().timerRunning());
    control.Terminate(); // releases the line; the polling goes on
    EXPECT_TRUE(control.core().timerRunning());
}

TEST_F(MessageControlTest, TooLargeMsgTimerFailsTheCallWithOverflow)
{
    setMsgTimer(u"2147484"_s);
    try {
        control.InitializeForProgram(QStringLiteral("VN"));
        ADD_FAILURE() << "no error";
    } catch (const modVNQRN::Error &e) {
        EXPECT_EQ(e.number(), modVNQRN::errOverflow);
        EXPECT_EQ(e.description(), u"Overflow");
    }
    EXPECT_TRUE(events.isEmpty()); // the later steps did not run
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

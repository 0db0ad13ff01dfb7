// The sample host as an operator and a host developer meet it: what its
// event log shows, how its entity list follows the control, and what a
// failing call does.

#include "host/entity_picker.h"
#include "host/event_log_pane.h"
#include "host/host_options.h"
#include "host/host_window.h"

#include "control/message_control.h"

#include "control/message_folder.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/profile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTreeWidgetItem>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class HostWindowTest : public ::testing::Test
{
protected:
    HostWindowTest()
    {
        ws.writeLocalIni(kSimulatedBoardSettings);
        for (const char *name : {"NA000000007A", "MA000000007B", "NA000000003A", "MA000000012A"})
            writeMessageFile(ws.messagesFolder(), QString::fromLatin1(name) + u".vox",
                             QDateTime(QDate(2026, 3, 14), QTime(8, 0)), QByteArray(8000, '\x11'));
    }

    // The calls and the control's events (the operator's actions, the
    // playback and the folder's state have tests of their own).
    QStringList log()
    {
        QStringList out;
        for (const QString &e : window.eventLog().entries())
            if (!e.startsWith(u"Operator: ") && !e.startsWith(u"Playback: ") &&
                !e.startsWith(u"Messages folder: "))
                out << e;
        return out;
    }
    QString row(const QString &id)
    {
        const QTreeWidgetItem *item = window.picker().itemFor(id);
        return item ? item->text(0) + u' ' + item->text(1) + u' ' + item->text(2) : QString();
    }

    TestWorkstation ws;
    FakeClock clock; // 2026-03-14 09:30
    RecordingPrompter prompter;
    HostWindow window;
};

TEST_F(HostWindowTest, LogsStartUpAndAPickInTheOrderTheControlRaisesThem)
{
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    EXPECT_EQ(window.picker().ids(), (QStringList{u"3"_s, u"7"_s, u"12"_s}));
    EXPECT_EQ(row(u"7"_s), u"7 2 1 new");
    EXPECT_EQ(row(u"12"_s), u"12 1 "); // no new message: the column stays empty

    ASSERT_TRUE(window.picker().pick(u"7"_s));
    const QString counts = QStringLiteral(
        "MsgUpdated MsgCnt=4 NewMsgCnt=2 MsgTodayCnt=4 LastMsgDate=2026-03-14 08:00:00");
    EXPECT_EQ(log(), (QStringList{u"InitializeForProgram \"VN-Console\""_s, counts, counts,
                                  u"IDChanged id=\"\" HasNewMessages=False code=\"\""_s,
                                  u"InitializeForID \"7\""_s,
                                  u"IDChanged id=\"7\" HasNewMessages=True code=\"\""_s}));
    EXPECT_EQ(window.control().core().store().msEntityID, u"000000007");

    // Picked again: the host asks the control again.
    ASSERT_TRUE(window.picker().pick(u"7"_s));
    EXPECT_EQ(log().mid(log().size() - 2),
              (QStringList{u"InitializeForID \"7\""_s,
                           u"IDChanged id=\"7\" HasNewMessages=True code=\"\""_s}));

    // An entity without messages, typed by the operator.
    window.showEntity(u"55"_s);
    EXPECT_EQ(log().last(), u"IDChanged id=\"55\" HasNewMessages=False code=\"\"");
    EXPECT_TRUE(window.picker().selectedId().isEmpty());
    EXPECT_FALSE(window.picker().pick(u"55"_s));
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(HostWindowTest, TheListFollowsTheFolderAndTheControlWithoutPickingAgain)
{
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"7"_s);
    qsizetype before = log().size();

    // Another workstation heard entity 7's new message: a poll refreshes the
    // list, and refilling it is no pick, so the control is not asked again.
    ASSERT_TRUE(QFile::rename(ws.messagesFolder() + u"NA000000007A.vox",
                              ws.messagesFolder() + u"MA000000007A.vox"));
    window.control().core().tmrCalls_Timer();
    EXPECT_EQ(log().mid(before), (QStringList{u"MsgUpdated MsgCnt=4 NewMsgCnt=1 MsgTodayCnt=4 "
                                              u"LastMsgDate=2026-03-14 08:00:00"_s}));
    EXPECT_EQ(row(u"7"_s), u"7 2 ");
    EXPECT_EQ(window.picker().selectedId(), u"7");

    // New Msg moves the control, and the list with it, to entity 3.
    before = log().size();
    window.control().ClickNewMsgButton();
    EXPECT_EQ(log().mid(before),
              (QStringList{u"IDChanged id=\"000000003\" HasNewMessages=True code=\"\""_s,
                           u"FinishedPlayingNewMsg NewMsgCnt=0"_s}));
    EXPECT_EQ(window.picker().selectedId(), u"3");
    EXPECT_EQ(row(u"3"_s), u"3 1 ");
    EXPECT_TRUE(QFile::exists(ws.messagesFolder() + u"MA000000003A.vox"));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
}

TEST_F(HostWindowTest, AFailingCallIsShownToTheOperatorAndTheWindowGoesOn)
{
    const auto setTimer = [&](const QString &value) {
        modVNQRN::WriteProfileString(u"Messages"_s, u"MsgTimer"_s, value, ws.localIni());
    };
    setTimer(u"3000000"_s); // times 1000 overflows
    EXPECT_FALSE(window.start(u"VN-Console"_s));
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(
        prompter.boxes[0].text.startsWith(u"InitializeForProgram failed: error 6 (Overflow)"))
        << qPrintable(prompter.boxes[0].text);
    EXPECT_EQ(prompter.boxes[0].icon, modVNQRN::MsgBoxIcon::Critical);
    EXPECT_EQ(log().last(), prompter.boxes[0].text);

    setTimer(u"5"_s);
    EXPECT_TRUE(window.start(u"VN-Console"_s));
    EXPECT_EQ(window.picker().ids().size(), 3);

    // Closing terminates once, however often it is asked.
    window.shutdown();
    window.close();
    EXPECT_EQ(log().count(u"Terminate"_s), 1);
    EXPECT_EQ(window.control().core().phoneHelp(), nullptr);
}

TEST(HostOptionsTest, ReadsTheProgramNameTheTourAndThePhone)
{
    EXPECT_EQ(parseHostOptions({}).programName, u"VN-Console");
    const HostOptions o = parseHostOptions(
        {u"VN-Desk"_s, u"--tour"_s, u"shots"_s, u"--phone"_s, u"sip:op@1.2.3.4"_s});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.programName, u"VN-Desk");
    EXPECT_EQ(o.tourFolder, u"shots");
    EXPECT_EQ(o.phoneAddress, u"sip:op@1.2.3.4");
    EXPECT_TRUE(parseHostOptions({u"-h"_s}).help);
    for (const QStringList &bad : {QStringList{u"--tour"_s}, QStringList{u"--tour"_s, u""_s},
                                   QStringList{u"--colour"_s}, QStringList{u"VN-A"_s, u"VN-B"_s}})
        EXPECT_FALSE(parseHostOptions(bad).error.isEmpty()) << qPrintable(bad.join(u' '));
}

TEST(EntityPickerTest, ShowsIdsAsDialledAndSkipsNamesThatAreNoMessages)
{
    EXPECT_EQ(displayEntityId(u"000000000"_s), u"0");
    EXPECT_EQ(displayEntityId(u"00000X007"_s), u"00000X007");
    EntityPicker picker;
    picker.showMessages(u"NA000001001A,MA000001001B,MA000002002A,Mxyz"_s);
    EXPECT_EQ(picker.ids(), (QStringList{u"1001"_s, u"2002"_s}));
}

} // namespace

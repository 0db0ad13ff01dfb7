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

#include <QDir>
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
        QDir().mkpath(ws.localAppFolder());
        QDir().mkpath(messages());
        setting("Zuzidivuz", "VnPath", ws.root() + u"inst");
        setting("Messages", "MsgTimer", QStringLiteral("0")); // polls only when a test ticks
        setting("Messages", "Msgport", QStringLiteral("1"));
        setting("Messages", "ConnectString", QStringLiteral("201"));
        setting("VoiceBoard", "Driver", QStringLiteral("simulated"));
        setting("VoiceBoard", "TimeScale", QStringLiteral("0.001"));
        for (const char *name : {"NA000000007A", "MA000000007B", "NA000000003A", "MA000000012A"})
            writeMessageFile(messages(), QString::fromLatin1(name) + u".vox",
                             QDateTime(QDate(2026, 3, 14), QTime(8, 0)), QByteArray(8000, '\x11'));
    }

    QString messages() const { return ws.root() + u"inst/VNT/Data/messages/"; }
    void setting(const char *section, const char *key, const QString &value)
    {
        modVNQRN::WriteProfileString(QString::fromUtf8(section), QString::fromUtf8(key), value,
                                     ws.localAppFolder() + u"QelLocal.ini");
    }
    const QStringList &log() { return window.eventLog().entries(); }
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
    ASSERT_TRUE(window.start(QStringLiteral("VN-Console")));
    EXPECT_EQ(window.picker().ids(), (QStringList{u"3"_s, u"7"_s, u"12"_s}));
    EXPECT_EQ(row(QStringLiteral("7")), u"7 2 1");
    EXPECT_EQ(row(QStringLiteral("12")), u"12 1 "); // no new message: the column stays empty

    ASSERT_TRUE(window.picker().pick(QStringLiteral("7")));
    const QString counts = QStringLiteral(
        "MsgUpdated MsgCnt=4 NewMsgCnt=2 MsgTodayCnt=4 LastMsgDate=2026-03-14 08:00:00");
    EXPECT_EQ(log(), (QStringList{u"InitializeForProgram \"VN-Console\""_s, counts, counts,
                                  u"IDChanged id=\"\" HasNewMessages=False code=\"\""_s,
                                  u"InitializeForID \"7\""_s,
                                  u"IDChanged id=\"7\" HasNewMessages=True code=\"\""_s}));
    EXPECT_EQ(window.control().core().store().msEntityID, u"000000007");

    // An entity without messages, typed by the operator.
    window.showEntity(QStringLiteral("55"));
    EXPECT_EQ(log().last(), u"IDChanged id=\"55\" HasNewMessages=False code=\"\"");
    EXPECT_TRUE(window.picker().selectedId().isEmpty());
    EXPECT_TRUE(prompter.boxes.isEmpty());
}

TEST_F(HostWindowTest, APollThatFindsAMessageHeardElsewhereRefreshesTheListAndKeepsThePick)
{
    ASSERT_TRUE(window.start(QStringLiteral("VN-Console")));
    window.picker().pick(QStringLiteral("7"));
    const qsizetype before = log().size();

    // Another workstation heard entity 7's new message.
    ASSERT_TRUE(QFile::rename(messages() + u"NA000000007A.vox", messages() + u"MA000000007A.vox"));
    window.control().core().tmrCalls_Timer();

    EXPECT_EQ(log().mid(before), (QStringList{u"MsgUpdated MsgCnt=4 NewMsgCnt=1 MsgTodayCnt=4 "
                                              u"LastMsgDate=2026-03-14 08:00:00"_s}));
    EXPECT_EQ(row(QStringLiteral("7")), u"7 2 ");
    // Refilling the list is no pick: the control is not asked again.
    EXPECT_EQ(window.picker().selectedId(), u"7");
    EXPECT_EQ(window.control().core().store().msEntityID, u"000000007");
}

TEST_F(HostWindowTest, NewMsgMovesTheListToItsEntityAndTheHeardMessageLeavesTheNewCount)
{
    ASSERT_TRUE(window.start(QStringLiteral("VN-Console")));
    window.picker().pick(QStringLiteral("12"));
    const qsizetype before = log().size();

    window.control().ClickNewMsgButton(); // the lowest id with a new message: 3

    EXPECT_EQ(log().mid(before),
              (QStringList{u"IDChanged id=\"000000003\" HasNewMessages=True code=\"\""_s,
                           u"FinishedPlayingNewMsg NewMsgCnt=1"_s}));
    EXPECT_EQ(window.picker().selectedId(), u"3");
    EXPECT_EQ(row(QStringLiteral("3")), u"3 1 ");
    EXPECT_TRUE(QFile::exists(messages() + u"MA000000003A.vox"));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
}

TEST_F(HostWindowTest, AFailingCallIsShownToTheOperatorAndTheWindowGoesOn)
{
    setting("Messages", "MsgTimer", QStringLiteral("3000000")); // times 1000 overflows
    EXPECT_FALSE(window.start(QStringLiteral("VN-Console")));
    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(
        prompter.boxes[0].text.startsWith(u"InitializeForProgram failed: error 6 (Overflow)"))
        << qPrintable(prompter.boxes[0].text);
    EXPECT_EQ(prompter.boxes[0].icon, modVNQRN::MsgBoxIcon::Critical);
    EXPECT_EQ(log().last(), prompter.boxes[0].text);

    setting("Messages", "MsgTimer", QStringLiteral("5"));
    EXPECT_TRUE(window.start(QStringLiteral("VN-Console")));
    EXPECT_EQ(window.picker().ids().size(), 3);

    // Closing terminates once, however often it is asked.
    window.shutdown();
    window.close();
    EXPECT_EQ(log().count(u"Terminate"_s), 1);
    EXPECT_EQ(window.control().core().phoneHelp(), nullptr);
}

TEST(HostOptionsTest, ReadsTheProgramNameTheTourAndThePhone)
{
    HostOptions o = parseHostOptions({});
    EXPECT_EQ(o.programName, u"VN-Console");
    EXPECT_TRUE(o.error.isEmpty());

    o = parseHostOptions(
        {u"VN-Desk"_s, u"--tour"_s, u"shots"_s, u"--phone"_s, u"sip:op@127.0.0.1"_s});
    EXPECT_EQ(o.programName, u"VN-Desk");
    EXPECT_EQ(o.tourFolder, u"shots");
    EXPECT_EQ(o.phoneAddress, u"sip:op@127.0.0.1");

    EXPECT_FALSE(parseHostOptions({u"--tour"_s}).error.isEmpty());
    EXPECT_FALSE(parseHostOptions({u"--tour"_s, u""_s}).error.isEmpty());
    EXPECT_FALSE(parseHostOptions({u"--colour"_s}).error.isEmpty());
    EXPECT_FALSE(parseHostOptions({u"VN-A"_s, u"VN-B"_s}).error.isEmpty());
    EXPECT_TRUE(parseHostOptions({u"-h"_s}).help);
}

TEST(EntityPickerTest, ShowsIdsAsDialledAndMatchesThemByNumber)
{
    EXPECT_EQ(displayEntityId(QStringLiteral("000001001")), u"1001");
    EXPECT_EQ(displayEntityId(QStringLiteral("000000000")), u"0");
    EXPECT_EQ(displayEntityId(QStringLiteral("00000X007")), u"00000X007");
    EXPECT_EQ(displayEntityId(QString()), u"");

    EntityPicker picker;
    QStringList picked;
    QObject::connect(&picker, &EntityPicker::entityPicked,
                     [&](const QString &id) { picked << id; });
    picker.showMessages(QStringLiteral("NA000001001A,MA000001001B,MA000002002A,Mxyz"));
    EXPECT_EQ(picker.ids(), (QStringList{u"1001"_s, u"2002"_s}));

    picker.showEntity(QStringLiteral("000002002"));
    EXPECT_EQ(picker.selectedId(), u"2002");
    EXPECT_TRUE(picked.isEmpty());
    picker.showEntity(QStringLiteral("4"));
    EXPECT_EQ(picker.selectedId(), u"");

    EXPECT_TRUE(picker.pick(QStringLiteral("1001")));
    EXPECT_TRUE(picker.pick(QStringLiteral("1001"))); // again: the host asks again
    EXPECT_FALSE(picker.pick(QStringLiteral("4")));
    EXPECT_EQ(picked, (QStringList{u"1001"_s, u"1001"_s}));
}

} // namespace

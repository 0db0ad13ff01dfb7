// Marking a played message heard in a shared folder: what becomes of the
// files, what the operator is told, and the outcome the control announces.

#include "message_folder.h"

#include "control/message_control_core.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

class MarkHeardTest : public ::testing::Test
{
protected:
    MarkHeardTest()
    {
        modVNQRN::gsLocalPath = ws.root();
        modVNQRN::gsLocalIni = ws.root() + u"QelLocal.ini";
        dir = ws.root() + u"messages/";
        core.store().msMsgDir = dir;
        QObject::connect(&core, &MessageControlCore::MarkedHeard,
                         [this](const QString &name, HeardOutcome outcome) {
                             outcomes.append({name, outcome});
                         });
    }

    QString path(const QString &name) const { return dir + name + u".vox"; }
    void write(const QString &name, const QByteArray &voice)
    {
        writeMessageFile(dir, name + u".vox", clock.now(), voice);
    }
    // Lists the folder and selects the entity, as the control does before playing.
    void scan()
    {
        core.tmrCalls_Timer();
        core.InitializeForID(u"7"_s);
    }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
    QString dir;
    MessageControlCore core;
    QList<std::pair<QString, HeardOutcome>> outcomes;
};

// chattr works for root on most local file systems; elsewhere the test is skipped.
bool makeImmutable(const QString &file, bool on)
{
    return QProcess::execute(u"chattr"_s, {on ? u"+i"_s : u"-i"_s, file}) == 0;
}

} // namespace

TEST_F(MarkHeardTest, EachCaseEndsInItsOutcomeAndLosesNoMessage)
{
    write(u"NA000000007A"_s, "only new");
    write(u"MA000000007B"_s, "heard elsewhere");
    write(u"NA000000007C"_s, "newer copy");
    write(u"MA000000007C"_s, "stale copy");
    scan();
    const qint32 newBefore = core.store().mlNewMsgCnt;

    core.MarkHeard(u"NA000000007A"_s);
    core.MarkHeard(u"NA000000007B"_s); // its heard file alone is there
    core.MarkHeard(u"NA000000007C"_s);
    core.MarkHeard(u"NA000000007D"_s); // neither file: purged
    core.MarkHeard(u"MA000000007B"_s); // already heard: nothing to do

    EXPECT_EQ(outcomes, (QList<std::pair<QString, HeardOutcome>>{
                            {u"NA000000007A"_s, HeardOutcome::Renamed},
                            {u"NA000000007B"_s, HeardOutcome::HeardElsewhere},
                            {u"NA000000007C"_s, HeardOutcome::ReplacedStale},
                            {u"NA000000007D"_s, HeardOutcome::Purged},
                            {u"MA000000007B"_s, HeardOutcome::AlreadyHeard},
                        }));
    EXPECT_EQ(prompter.texts(),
              (QStringList{u"This message has been played on another workstation"_s,
                           u"This message has been removed by the purge process"_s}));
    // The newer copy took the place of the stale one; every message is there once.
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007A"_s)), "only new");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007B"_s)), "heard elsewhere");
    EXPECT_EQ(TestWorkstation::readFile(path(u"MA000000007C"_s)), "newer copy");
    EXPECT_FALSE(QFile::exists(path(u"NA000000007A"_s)));
    EXPECT_FALSE(QFile::exists(path(u"NA000000007C"_s)));
    // Both names of 7C were listed; both now read heard until the next poll.
    EXPECT_EQ(core.store().msMsgList, u"MA000000007A,MA000000007B,MA000000007C,MA000000007C"_s);
    EXPECT_EQ(core.store().mlNewMsgCnt, newBefore - 4);
}

TEST_F(MarkHeardTest, ARefusedRenameIsReportedAndLeavesBothNamesAlone)
{
    write(u"NA000000007A"_s, "voice");
    scan();
    if (!makeImmutable(path(u"NA000000007A"_s), true))
        GTEST_SKIP() << "chattr +i is not available here";
    core.MarkHeard(u"NA000000007A"_s);
    makeImmutable(path(u"NA000000007A"_s), false);

    ASSERT_EQ(prompter.boxes.size(), 1);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith(u"Error 70 { 70-Cannot rename "))
        << prompter.boxes[0].text.toStdString();
    EXPECT_EQ(outcomes.back().second, HeardOutcome::Failed);
    EXPECT_EQ(TestWorkstation::readFile(path(u"NA000000007A"_s)), "voice");
    EXPECT_FALSE(QFile::exists(path(u"MA000000007A"_s)));
    // The lists wait for the next poll.
    EXPECT_EQ(core.store().msMsgList, u"NA000000007A"_s);
    EXPECT_EQ(core.store().mlNewMsgCnt, 1);
}

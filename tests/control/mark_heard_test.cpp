// Marking a played message heard in a shared folder: what becomes of the
// files, what the operator is told, and the outcome the control announces.

#include "message_folder.h"

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

} // namespace

TEST_F(MarkHeardTest, EachCaseEndsInItsOutcomeAndLosesNoMessage)
{
    write(u"NA000000007A"_s, "only new");
    write(u"MA000000007B"_s, "heard elsewhere");
    write(u"NA000000007C"_s, "newer copy");
    write(u"MA000000007C"_s, "stale copy");
    write(u"NA000000007E"_s, "blocked");
    QDir().mkpath(path(u"MA000000007E"_s)); // not a message, but it holds the heard name
    scan();
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

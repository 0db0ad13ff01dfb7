// The scripted tour: the whole demo tour run offscreen on a demo installation,
// as scripts/run-demo does without a display, and the runner's failures.

#include "demo/demo_installation.h"
#include "host/demo_tour.h"
#include "host/event_log_pane.h"
#include "host/host_window.h"
#include "host/operator_prompter.h"
#include "host/tour_runner.h"

#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

namespace
{

// Play blocks until Stop while the tour goes on; every step leaves a
// screenshot, and the tour finishes only once the last click has returned.
TEST(TourTest, TheDemoTourRunsToTheEndOffscreenWithAScreenshotPerStep)
{
    TestWorkstation ws;
    DemoOptions options;
    options.folder = ws.root() + u"demo";
    options.route = DemoRoute::Telephone;
    options.voice = DemoVoice::Tone;
    // Messages of 4 to 7 s play in 0.4 to 0.7 s: long enough to pause one.
    options.timeScale = 0.1;
    const DemoInstallation demo = makeDemoInstallation(options);
    TestWorkstation::useFolders(demo.appDataFolder, demo.machineFolder, demo.systemFolder);

    HostWindow window;
    QStringList boxes;
    OperatorPrompter prompter(
        window.eventLog(), window.banner(),
        [&](const PlainProblem &p, modVNQRN::MsgBoxIcon, const QString &) { boxes << p.what; });
    QObject::connect(&window, &HostWindow::folderFine, &prompter, &OperatorPrompter::endProblemsAt);
    window.show();
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    TourRunner runner(window, ws.root() + u"tour");
    runner.setStepTimeoutMs(20000);
    addDemoTour(runner, window);
    QSignalSpy finished(&runner, &TourRunner::finished);
    runner.start();
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_TRUE(runner.succeeded()) << qPrintable(runner.failure());
    EXPECT_EQ(runner.runningActions(), 0);

    ASSERT_EQ(runner.screenshots().size(), 12);
    EXPECT_TRUE(runner.screenshots()[8].endsWith(u"/09-stop.png"));
    EXPECT_TRUE(runner.screenshots().last().endsWith(u"/12-messages-folder-back.png"));
    for (const QString &shot : runner.screenshots())
        EXPECT_EQ(QImage(shot).size(), window.size()) << qPrintable(shot);

    // Entity 1001 picked and played; stopped, its new message was still new
    // for New Msg, which played it to the end; Next moved on to 1002.
    const QStringList log = window.eventLog().entries();
    qsizetype at = 0;
    for (const QString &entry : {u"IDChanged id=\"1001\" HasNewMessages=True code=\"\""_s,
                                 u"IDChanged id=\"000001001\" HasNewMessages=True code=\"\""_s,
                                 u"FinishedPlayingNewMsg NewMsgCnt=4"_s,
                                 u"IDChanged id=\"000001002\" HasNewMessages=True code=\"\""_s}) {
        at = log.indexOf(entry, at);
        ASSERT_GE(at, 0) << qPrintable(entry) << "\nin:\n" << qPrintable(log.join(u'\n'));
    }
    EXPECT_TRUE(QFileInfo(demo.messagesFolder + u"MA000001001A.vox").isFile());
    EXPECT_FALSE(QFileInfo(demo.messagesFolder + u"NA000001001A.vox").exists());
    // The only box: the folder that went away, once.
    ASSERT_EQ(boxes.size(), 1) << qPrintable(boxes.join(u'\n'));
    EXPECT_TRUE(boxes[0].startsWith(u"The messages folder "_s + demo.messagesFolder))
        << qPrintable(boxes[0]);
    EXPECT_TRUE(QFileInfo(demo.messagesFolder).isDir());
    window.shutdown();
}

TEST(TourTest, AStateThatNeverComesOrAScreenshotFolderThatCannotBeMadeFailsTheTour)
{
    TestWorkstation ws;
    FakeClock clock;
    QWidget window;
    TourRunner runner(window, ws.root() + u"shots");
    runner.setStepTimeoutMs(30000);
    bool laterStepRan = false;
    bool cleanedUp = false;
    runner.addStep({u"Play"_s, u"playing"_s, {}, [] { return false; }});
    runner.addStep({u"Pause"_s, u"paused"_s, [&] { laterStepRan = true; }, [] { return true; }});
    runner.setCleanup([&] { cleanedUp = true; });
    QStringList progress;
    QObject::connect(&runner, &TourRunner::progress,
                     [&](const QString &line) { progress << line; });
    QSignalSpy finished(&runner, &TourRunner::finished);

    runner.start();
    ASSERT_EQ(progress, QStringList{u"Step 1/2 Play: waiting until playing"_s});
    EXPECT_TRUE(finished.isEmpty()); // the step waits while its time runs

    clock.advanceMs(30001);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(runner.failure(), u"Step 1/2 Play: not playing after 30 s");
    EXPECT_TRUE(cleanedUp);
    EXPECT_FALSE(laterStepRan);
    EXPECT_TRUE(QFileInfo(ws.root() + u"shots/01-play-failed.png").isFile());

    // A screenshot folder that cannot be made fails the tour before its first step.
    TestWorkstation::writeFile(ws.root() + u"file", "not a folder");
    TourRunner blocked(window, ws.root() + u"file/shots");
    bool ran = false;
    blocked.addStep({u"Play"_s, u"playing"_s, [&] { ran = true; }, [] { return true; }});
    QSignalSpy blockedFinished(&blocked, &TourRunner::finished);
    blocked.start();
    ASSERT_TRUE(blockedFinished.wait(10000));
    EXPECT_FALSE(blocked.succeeded());
    EXPECT_TRUE(blocked.failure().contains(u"file/shots")) << qPrintable(blocked.failure());
    EXPECT_FALSE(ran);
}

} // namespace

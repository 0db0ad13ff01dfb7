// The scripted tour, run offscreen on a demo installation with the simulated
// voice board at a short time scale: what scripts/run-demo does without a
// display.

#include "demo/demo_installation.h"
#include "host/demo_tour.h"
#include "host/event_log_pane.h"
#include "host/host_window.h"
#include "host/tour_runner.h"

#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>

using namespace VNOrvak;

namespace
{

TEST(DemoTourTest, RunsToTheEndOffscreenWithAScreenshotPerStep)
{
    TestWorkstation ws;
    RecordingPrompter prompter;
    DemoOptions options;
    options.folder = ws.root() + u"demo";
    options.route = DemoRoute::Telephone;
    options.voice = DemoVoice::Tone;
    // Messages of 4 to 7 s play in 0.4 to 0.7 s: long enough to pause one.
    options.timeScale = 0.1;
    const DemoInstallation demo = makeDemoInstallation(options);
    qputenv("VNORVAK_LOCAL_APPDATA", demo.appDataFolder.toUtf8());
    qputenv("VNORVAK_MACHINE_DIR", demo.machineFolder.toUtf8());
    qputenv("VNORVAK_SYSTEM_DIR", demo.systemFolder.toUtf8());

    HostWindow window;
    window.show();
    ASSERT_TRUE(window.start(QStringLiteral("VN-Console")));
    TourRunner runner(window, ws.root() + u"tour");
    runner.setStepTimeoutMs(20000);
    addDemoTour(runner, window);
    QSignalSpy finished(&runner, &TourRunner::finished);
    runner.start();
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_TRUE(runner.succeeded()) << qPrintable(runner.failure());

    ASSERT_EQ(runner.screenshots().size(), 9);
    EXPECT_TRUE(runner.screenshots().last().endsWith(u"/09-stop.png"));
    for (const QString &shot : runner.screenshots())
        EXPECT_FALSE(QImage(shot).isNull()) << qPrintable(shot);

    // Entity 1001 picked and played; stopped, its new message was still new
    // for New Msg, which played it to the end; Next moved on to 1002.
    const QStringList log = window.eventLog().entries();
    const QStringList expected = {
        QStringLiteral("IDChanged id=\"1001\" HasNewMessages=True code=\"\""),
        QStringLiteral("IDChanged id=\"000001001\" HasNewMessages=True code=\"\""),
        QStringLiteral("FinishedPlayingNewMsg NewMsgCnt=4"),
        QStringLiteral("IDChanged id=\"000001002\" HasNewMessages=True code=\"\""),
    };
    qsizetype at = 0;
    for (const QString &entry : expected) {
        at = log.indexOf(entry, at);
        ASSERT_GE(at, 0) << qPrintable(entry) << "\nin:\n" << qPrintable(log.join(u'\n'));
    }
    EXPECT_TRUE(QFileInfo(demo.messagesFolder + u"MA000001001A.vox").isFile());
    EXPECT_FALSE(QFileInfo(demo.messagesFolder + u"NA000001001A.vox").exists());
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
    window.shutdown();
}

} // namespace

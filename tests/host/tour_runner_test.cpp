// The tour runner: steps in order while earlier actions still block, bounded
// waits that fail cleanly, screenshots on disk.

#include "host/tour_runner.h"

#include "support/fake_clock.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QWidget>

using namespace VNOrvak;

namespace
{

class TourRunnerTest : public ::testing::Test
{
protected:
    TourRunnerTest() { window.resize(120, 80); }

    QString shots() const { return ws.root() + u"shots"; }
    bool finish(TourRunner &runner)
    {
        QSignalSpy finished(&runner, &TourRunner::finished);
        runner.start();
        return finished.wait(10000);
    }

    TestWorkstation ws;
    QWidget window;
};

TEST_F(TourRunnerTest, GoesOnWhileAnActionBlocksAndFinishesOnlyOnceItReturns)
{
    TourRunner runner(window, shots());
    QStringList order;
    bool playing = false;
    QEventLoop playback; // stands for a click that plays until stopped
    runner.addStep({QStringLiteral("Play"), QStringLiteral("playing"),
                    [&] {
                        order << QStringLiteral("play starts");
                        playing = true;
                        playback.exec();
                        playing = false;
                        order << QStringLiteral("play returns");
                    },
                    [&] { return playing; }});
    runner.addStep({QStringLiteral("Stop"), QStringLiteral("stopped"),
                    [&] {
                        order << QStringLiteral("stop");
                        playback.quit();
                    },
                    [&] { return !playing; }});
    QObject::connect(&runner, &TourRunner::finished, [&] { order << QStringLiteral("finished"); });

    ASSERT_TRUE(finish(runner));
    EXPECT_TRUE(runner.succeeded()) << qPrintable(runner.failure());
    EXPECT_EQ(order, (QStringList{QStringLiteral("play starts"), QStringLiteral("stop"),
                                  QStringLiteral("play returns"), QStringLiteral("finished")}));
    ASSERT_EQ(runner.screenshots(),
              (QStringList{shots() + u"/01-play.png", shots() + u"/02-stop.png"}));
    for (const QString &shot : runner.screenshots())
        EXPECT_EQ(QImage(shot).size(), window.size()) << qPrintable(shot);
}

TEST_F(TourRunnerTest, AStateThatNeverComesFailsTheStepInTimeAndRunsTheCleanup)
{
    FakeClock clock;
    TourRunner runner(window, shots());
    runner.setStepTimeoutMs(30000);
    bool laterStepRan = false;
    bool cleanedUp = false;
    runner.addStep({QStringLiteral("Play"), QStringLiteral("playing"), {}, [] { return false; }});
    runner.addStep({QStringLiteral("Pause"), QStringLiteral("paused"), [&] { laterStepRan = true; },
                    [] { return true; }});
    runner.setCleanup([&] { cleanedUp = true; });
    QStringList progress;
    QObject::connect(&runner, &TourRunner::progress,
                     [&](const QString &line) { progress << line; });
    QSignalSpy finished(&runner, &TourRunner::finished);

    runner.start();
    ASSERT_EQ(progress, QStringList{QStringLiteral("Step 1/2 Play: waiting until playing")});
    EXPECT_TRUE(finished.isEmpty()); // the step waits while its time runs

    clock.advanceMs(30001);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(runner.failure(), u"Step 1/2 Play: not playing after 30 s");
    EXPECT_TRUE(cleanedUp);
    EXPECT_FALSE(laterStepRan);
    EXPECT_TRUE(QFileInfo(shots() + u"/01-play-failed.png").isFile());
}

TEST_F(TourRunnerTest, AScreenshotFolderThatCannotBeMadeFailsTheTour)
{
    TestWorkstation::writeFile(ws.root() + u"file", "not a folder");
    TourRunner runner(window, ws.root() + u"file/shots");
    bool ran = false;
    runner.addStep({QStringLiteral("Play"), QStringLiteral("playing"), [&] { ran = true; },
                    [] { return true; }});
    ASSERT_TRUE(finish(runner));
    EXPECT_FALSE(runner.succeeded());
    EXPECT_TRUE(runner.failure().contains(u"file/shots")) << qPrintable(runner.failure());
    EXPECT_FALSE(ran);
}

} // namespace

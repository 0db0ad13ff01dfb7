// The console under a real X server (Xvfb) driven by real X input (xdotool),
// keyboard only, playing over the sound card into a private PulseAudio null
// sink: pick an entity, play, pause, resume, stop, then move to another
// entity mid-play. The move completes within a second and the first
// entity's audio stops at the sink. Skipped, with the reason, where Xvfb,
// xdotool or an audio server cannot run.

#include "demo/demo_installation.h"
#include "host/entity_picker.h"
#include "host/event_log_pane.h"
#include "host/host_window.h"
#include "host/playback_watch.h"
#include "host/tour_runner.h"

#include "control/message_control.h"

#include "monitor_capture.h"
#include "pulse_null_sink.h"
#include "signal_match.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

using namespace VNOrvak;
using namespace Qt::StringLiterals;
using Phase = PlaybackState::Phase;

namespace
{

QString g_skip; // why the X server could not be had

// Runs the event loop until `done` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

class ConsoleX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_skip.isEmpty())
            GTEST_SKIP() << g_skip.toStdString();
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            GTEST_SKIP() << "xdotool is not installed (scripts/install-deps installs it)";
        if (!sink.start())
            GTEST_SKIP() << "no audio server: " << sink.failure().toStdString();
        capture = std::make_unique<MonitorCapture>();
        if (!capture->start() || !capture->waitForFlow())
            GTEST_SKIP() << "no audio server: parec records nothing";
    }

    double nowMs() const { return double(capture->clock().nsecsElapsed()) / 1e6; }
    // The first recorded sample that reached the sink after `ms`.
    qint64 sampleAfter(double ms) const
    {
        qint64 i = 0;
        while (i < capture->samples().size() && capture->arrivalMs(i) <= ms)
            i += 80;
        return i;
    }
    // Whether the sink heard sound between the clock readings `fromMs` and `toMs`.
    bool soundBetween(double fromMs, double toMs) const
    {
        const qint64 from = sampleAfter(fromMs);
        const qint64 to = sampleAfter(toMs);
        const auto [b, e] = soundSpan(capture->samples().mid(from, to - from));
        return e > b;
    }

    TestWorkstation ws;
    PulseNullSink sink;
    std::unique_ptr<MonitorCapture> capture;
};

TEST_F(ConsoleX11Test, KeyboardOnlyPlayPauseResumeStopAndAMoveMidPlayThatSilencesTheFirst)
{
    RecordingPrompter prompter;
    DemoOptions options;
    options.folder = ws.root() + u"demo";
    options.route = DemoRoute::SoundCard;
    options.voice = DemoVoice::Tone;
    const DemoInstallation demo = makeDemoInstallation(options);
    TestWorkstation::useFolders(demo.appDataFolder, demo.machineFolder, demo.systemFolder);

    HostWindow window;
    window.show();
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    const QString wid = QString::number(window.winId());
    PlaybackWatch &watch = window.playback();
    const auto phase = [&] { return watch.state().phase; };
    const auto entity = [&] { return window.control().core().store().msEntityID; };

    // Every step runs from the event loop (a playback runs inside it); the
    // keys go through the X server as an operator's would.
    std::vector<std::unique_ptr<QProcess>> typists;
    const auto xdo = [&](const QString &args) {
        return [&typists, args] {
            auto p = std::make_unique<QProcess>();
            p->start(u"xdotool"_s, args.split(u' '));
            typists.push_back(std::move(p));
        };
    };
    double playMs = 0, switchMs = 0, movedMs = 0;
    TourRunner script(window, ws.root() + u"shots");
    script.setStepTimeoutMs(10000);
    const auto step = [&](const char *name, std::function<void()> action,
                          std::function<bool()> reached) {
        script.addStep({QString::fromLatin1(name), QString::fromLatin1(name), std::move(action),
                        std::move(reached)});
    };
    step("focus", xdo(u"windowfocus --sync "_s + wid),
         [&] { return QApplication::activeWindow() == &window; });
    step("pick 1001 by its number", xdo(u"key --delay 30 ctrl+f 1 0 0 1 Return"_s),
         [&] { return entity() == u"000001001" && window.picker().selectedId() == u"1001"; });
    step("play", xdo(u"key F5"_s), [&] { return phase() == Phase::Playing; });
    step("pause", xdo(u"key F5"_s), [&] { return phase() == Phase::Paused; });
    step("resume", xdo(u"key F5"_s), [&] { return phase() == Phase::Playing; });
    step("stop", xdo(u"key Escape"_s), [&] { return phase() == Phase::Idle && !watch.stopping(); });
    step(
        "play again",
        [&] {
            playMs = nowMs();
            xdo(u"key F5"_s)();
        },
        [&] { return phase() == Phase::Playing && soundBetween(playMs, nowMs()); });
    step("type 1002", xdo(u"key --delay 30 ctrl+f 1 0 0 2"_s),
         [&] { return window.findChild<QLineEdit *>(u"txtEntity"_s)->text() == u"1002"; });
    step(
        "move to 1002 mid-play",
        [&] {
            switchMs = nowMs();
            xdo(u"key Return"_s)();
        },
        [&] {
            const bool moved = entity() == u"000001002" && phase() == Phase::Idle;
            if (moved && movedMs == 0)
                movedMs = nowMs();
            return moved;
        });
    step("listen", {}, [&] { return nowMs() > movedMs + 1600; });
    script.setCleanup([&] { window.stopPlayback(); });

    bool finished = false;
    QObject::connect(&script, &TourRunner::finished, [&] { finished = true; });
    script.start();
    ASSERT_TRUE(waitUntil([&] { return finished; }, 120000));
    ASSERT_TRUE(script.succeeded()) << qPrintable(script.failure());

    std::printf("move to another entity mid-play: %.0f ms from the key to the new entity\n",
                movedMs - switchMs);
    EXPECT_LT(movedMs - switchMs, 1000);
    // What reached the sink: 1001 until the move, silence from shortly after.
    capture->settle(movedMs + 1500, 3000);
    EXPECT_TRUE(soundBetween(playMs, switchMs));
    EXPECT_FALSE(soundBetween(movedMs + 300, movedMs + 1500))
        << "entity 1001 was still heard after the move";
    EXPECT_EQ(window.picker().selectedId(), u"1002");
    const QStringList log = window.eventLog().entries();
    EXPECT_TRUE(log.contains(u"Stopping the playback before showing entity 1002"_s));
    for (const char *key : {"Key F5: Play / Pause / Resume", "Key Esc: Stop"})
        EXPECT_TRUE(log.contains(u"Operator: "_s + QString::fromLatin1(key))) << key;
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'\n'));
    window.close();
}

// A private X server for this run, on the first free display from :71.
class XServer
{
public:
    bool start()
    {
        if (QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty()) {
            m_failure = u"Xvfb is not installed (scripts/install-deps installs it)"_s;
            return false;
        }
        for (int n = 71; n < 100; ++n) {
            if (QFile::exists(u"/tmp/.X11-unix/X"_s + QString::number(n)) ||
                QFile::exists(u"/tmp/.X"_s + QString::number(n) + u"-lock"_s))
                continue;
            m_display = u":"_s + QString::number(n);
            m_server.start(u"Xvfb"_s, {m_display, u"-screen"_s, u"0"_s, u"1280x1024x24"_s,
                                       u"-nolisten"_s, u"tcp"_s});
            if (!m_server.waitForStarted(3000))
                break;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 5000 && m_server.state() == QProcess::Running) {
                if (QFile::exists(u"/tmp/.X11-unix/X"_s + QString::number(n)))
                    return true;
                QThread::msleep(20);
            }
            m_server.kill();
            m_server.waitForFinished(2000);
        }
        m_failure = u"Xvfb did not start"_s;
        return false;
    }
    ~XServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
    QString display() const { return m_display; }
    QString failure() const { return m_failure; }

private:
    QProcess m_server;
    QString m_display;
    QString m_failure;
};

} // namespace

// Like every test's main(), but with the window on a private X server.
int main(int argc, char **argv)
{
    XServer x;
    QTemporaryDir runtime;
    if (x.start()) {
        qputenv("DISPLAY", x.display().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        g_skip = x.failure();
        std::printf("%s\n", qPrintable(g_skip));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    TestWorkstation::useFolders(runtime.path() + u"/appdata", runtime.path() + u"/machine",
                                runtime.path() + u"/system");
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}

// vnworkstation: one unattended workstation for soak tests. It runs the
// message control for a program name on the workstation's own settings (the
// VNORVAK_* folders of the environment), lets a random operator play, pause,
// resume and stop messages, and writes every event to a JSON-lines log.

#include "event_log.h"
#include "logging_prompter.h"
#include "play_probe.h"
#include "random_operator.h"
#include "workstation_options.h"

#include "control/message_control.h"
#include "shared/environment.h"
#include "shared/error.h"
#include "telephony/simulated_voice_board.h"

#include <QApplication>
#include <QJsonObject>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const WorkstationOptions options =
        parseWorkstationOptions(QCoreApplication::arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "vnworkstation: %s\n", qPrintable(options.error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(workstationUsage()), stdout);
        return 0;
    }

    EventLog log(options.log, options.workstation);
    if (!log.isOpen()) {
        std::fprintf(stderr, "vnworkstation: cannot open the log: %s\n",
                     qPrintable(log.errorString()));
        return 2;
    }
    LoggingPrompter prompter(log);

    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);

    VNOrvak::MessageControl control;
    // What was played goes to the log before what the control made of it.
    PlayProbe probe(log);
    QObject::connect(&control.core(), &VNOrvak::MessageControlCore::MarkedHeard, &app,
                     [&probe] { probe.flush(); });
    // Each message's play begins with a state change: a play stopped before
    // its first moment has taken the probe's call-back along, and it is set
    // again before the next play.
    QObject::connect(&control.playback(), &VNOrvak::MessagePlayback::stateChanged, &app,
                     [&probe] { probe.flush(); });
    RandomOperator::Settings settings;
    settings.seed = options.seed;
    settings.thinkMs = options.thinkMs;
    RandomOperator op(control, log, settings);

    const QString &program = options.program;
    try {
        control.InitializeForProgram(program);
    } catch (...) {
        const modVNQRN::Error error = modVNQRN::currentError();
        log.write(QStringLiteral("fatal"), {{QStringLiteral("number"), error.number()},
                                            {QStringLiteral("text"), error.description()}});
        return 3;
    }
    if (options.pollMs > 0)
        control.core().setTimerInterval(options.pollMs);
    log.write(QStringLiteral("start"), {{QStringLiteral("pid"), static_cast<qint64>(getpid())},
                                        {QStringLiteral("program"), program},
                                        {QStringLiteral("folder"), control.core().store().msMsgDir},
                                        {QStringLiteral("local"), modVNQRN::gsLocalPath},
                                        {QStringLiteral("poll_ms"), control.core().timerInterval()},
                                        {QStringLiteral("rss_kb"), residentKiB()}});

    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        probe.flush();
        log.write(QStringLiteral("alive"), {{QStringLiteral("rss_kb"), residentKiB()},
                                            {QStringLiteral("running"), op.running()},
                                            {QStringLiteral("actions"), op.actions()},
                                            {QStringLiteral("boxes"), prompter.boxes()}});
    });
    heartbeat.start(options.heartbeatMs);

    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&] {
        if (g_stopRequested)
            op.finish();
    });
    stopWatch.start(100);
    if (options.seconds > 0)
        QTimer::singleShot(options.seconds * 1000, &op, &RandomOperator::finish);

    QObject::connect(
        &op, &RandomOperator::finished, &app,
        [&] {
            heartbeat.stop();
            stopWatch.stop();
            // What the operator heard: the plays on the line and on the sound card.
            qint64 plays = 0;
            if (const auto *board = VoiceBocxLib::SimulatedVoiceBoard::last()) {
                plays += board->plays().size();
                if (const auto *wave = board->simulatedWave())
                    plays += wave->plays().size();
            }
            probe.flush();
            try {
                control.Terminate();
            } catch (...) {
                log.write(QStringLiteral("host_error"),
                          {{QStringLiteral("what"), QStringLiteral("terminate")},
                           {QStringLiteral("text"), modVNQRN::currentError().description()}});
            }
            log.write(QStringLiteral("exit"), {{QStringLiteral("rss_kb"), residentKiB()},
                                               {QStringLiteral("plays"), plays},
                                               {QStringLiteral("actions"), op.actions()},
                                               {QStringLiteral("boxes"), prompter.boxes()}});
            app.quit();
        },
        Qt::QueuedConnection);

    op.start();
    return app.exec();
}

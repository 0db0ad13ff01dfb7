// vnworkstation: one unattended workstation for soak tests. It runs the
// message control for a program name on the workstation's own settings (the
// VNORVAK_* folders of the environment), lets a random operator play, pause,
// resume and stop messages, and writes every event to a JSON-lines log.

#include "event_log.h"
#include "logging_prompter.h"
#include "play_probe.h"
#include "random_operator.h"

#include "control/message_control.h"
#include "shared/environment.h"
#include "shared/error.h"
#include "telephony/simulated_voice_board.h"

#include <QApplication>
#include <QCommandLineParser>
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

int intOption(const QCommandLineParser &args, const QString &name)
{
    return args.value(name).toInt();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("Runs one unattended workstation with a random operator."));
    args.addHelpOption();
    const auto opt = [&](const char *name, const char *help, const char *value, const char *def) {
        args.addOption({QString::fromLatin1(name), QString::fromLatin1(help),
                        QString::fromLatin1(value), QString::fromLatin1(def)});
    };
    opt("program", "Host program name.", "name", "VN-Soak");
    opt("workstation", "Name of this workstation in the log.", "name", "ws");
    opt("log", "Event log (JSON lines), '-' for standard output.", "file", "-");
    opt("seed", "Seed of the operator's choices.", "n", "1");
    opt("seconds", "Run time; 0 runs until SIGTERM or SIGINT.", "n", "0");
    opt("poll-ms", "Poll interval in milliseconds (0 keeps the MsgTimer setting).", "ms", "0");
    opt("think-ms", "Mean pause between two operator actions.", "ms", "150");
    opt("heartbeat-ms", "Interval of the 'alive' lines.", "ms", "1000");
    args.process(app);

    EventLog log(args.value(QStringLiteral("log")), args.value(QStringLiteral("workstation")));
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
    RandomOperator::Settings settings;
    settings.seed = args.value(QStringLiteral("seed")).toUInt();
    settings.thinkMs = std::max(1, intOption(args, QStringLiteral("think-ms")));
    RandomOperator op(control, log, settings);

    const QString program = args.value(QStringLiteral("program"));
    try {
        control.InitializeForProgram(program);
    } catch (...) {
        const modVNQRN::Error error = modVNQRN::currentError();
        log.write(QStringLiteral("fatal"), {{QStringLiteral("number"), error.number()},
                                            {QStringLiteral("text"), error.description()}});
        return 3;
    }
    if (const int pollMs = intOption(args, QStringLiteral("poll-ms")); pollMs > 0)
        control.core().setTimerInterval(pollMs);
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
    heartbeat.start(std::max(10, intOption(args, QStringLiteral("heartbeat-ms"))));

    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&] {
        if (g_stopRequested)
            op.finish();
    });
    stopWatch.start(100);
    if (const int seconds = intOption(args, QStringLiteral("seconds")); seconds > 0)
        QTimer::singleShot(seconds * 1000, &op, &RandomOperator::finish);

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

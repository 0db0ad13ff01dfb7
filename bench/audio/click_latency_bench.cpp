// Measures, on a private PulseAudio null sink, how long it takes from a click
// on the control's Play button (sound-card route) to the first message
// sample reaching the sink. Prints one line per run and the median.

#include "control/message_control.h"

#include "bench_signals.h"
#include "bench_sink.h"
#include "monitor_capture.h"
#include "pulse_null_sink.h"
#include "signal_match.h"

#include "bench/bench_workstation.h"
#include "shared/prompter.h"
#include "telephony/vox_decoder.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PulseNullSink server; // before anything touches the audio devices
    const bool serverUp = server.start();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    MonitorCapture capture;
    if (!benchSinkReady(server, serverUp, capture))
        return 0;
    modVNQRN::ConsolePrompter prompter;
    modVNQRN::setAppPrompter(&prompter);

    // Plays over the sound card.
    QTemporaryDir dir;
    const BenchWorkstation workstation(dir.path());
    workstation.set("Zuzidivuz", "SoundCard", QStringLiteral("1"));
    const QString path = workstation.writeMessage(benchTone(400));
    const QVector<qint16> reference = VoiceBocxLib::decodeVoxFile(path).samples;
    VNOrvak::MessageControl control;
    control.InitializeForProgram(QStringLiteral("VN-Bench"));
    control.InitializeForID(QStringLiteral("42"));
    auto *play = control.findChild<QPushButton *>(QStringLiteral("cmdPlayAll"));

    QVector<double> starts;
    auto now = [&] { return double(capture.clock().nsecsElapsed()) / 1e6; };
    for (int run = 0; run < runs; ++run) {
        capture.settle(now());
        const qint64 mark = capture.samples().size();
        const double clickedMs = now();
        play->click();
        capture.settle(now() + 100);
        const QVector<qint16> heard = capture.samples().mid(mark);
        const SignalMatch match = findSignal(
            QVector<qint16>(reference.constBegin(), reference.constBegin() + 1600), heard);
        const double startMs = capture.arrivalMs(mark + match.lag) - clickedMs;
        starts.append(startMs);
        std::printf("run %d: Play click->first sample %.1f ms (match %.3f)\n", run + 1, startMs,
                    match.correlation);
    }
    std::printf("median Play click->first sample %.1f ms (an upper bound; the first click also "
                "opens the route)\n",
                median(starts));
    modVNQRN::setAppPrompter(nullptr);
    return 0;
}

// Measures, on a private PulseAudio null sink, how long it takes from
// SoundCardPlayer::play() to the first message sample reaching the sink, and
// from stop() to silence. Prints one line per run and the medians.

#include "telephony/sound_card_player.h"

#include "bench_signals.h"
#include "bench_sink.h"
#include "monitor_capture.h"
#include "pulse_null_sink.h"
#include "signal_match.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace VoiceBocxLib;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    PulseNullSink server;
    const bool serverUp = server.start();
    MonitorCapture capture;
    if (!benchSinkReady(server, serverUp, capture))
        return 0;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/N000000001.vox");
    writeVoxFile(path, benchTone(600));
    const QVector<qint16> reference = decodeVoxFile(path).samples;

    SoundCardPlayer player;
    QVector<double> starts, stops;
    auto now = [&] { return double(capture.clock().nsecsElapsed()) / 1e6; };
    for (int run = 0; run < runs; ++run) {
        capture.settle(now());
        const qint64 mark = capture.samples().size();
        double stoppedMs = 0;
        QTimer::singleShot(400, &player, [&] {
            stoppedMs = now();
            player.stop();
        });
        const double calledMs = now();
        player.play(path);
        capture.settle(now() + 100);
        const QVector<qint16> heard = capture.samples().mid(mark);
        const SignalMatch match = findSignal(
            QVector<qint16>(reference.constBegin(), reference.constBegin() + 1600), heard);
        const auto span = soundSpan(heard);
        const double startMs = capture.arrivalMs(mark + match.lag) - calledMs;
        const double stopMs = capture.arrivalMs(mark + span.second - 1) - stoppedMs;
        starts.append(startMs);
        stops.append(stopMs);
        std::printf("run %d: play->first sample %.1f ms (match %.3f), stop->last sample at the "
                    "sink %.1f ms\n",
                    run + 1, startMs, match.correlation, stopMs);
    }
    std::printf("median play->first sample %.1f ms, stop->last sample %.1f ms (upper bounds; "
                "negative: nothing reached the sink after stop)\n",
                median(starts), median(stops));
    return 0;
}

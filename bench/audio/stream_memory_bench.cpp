// What a long message costs on the sound card: for a 10 s, a 10 min and a
// 4 h message played on a private PulseAudio null sink, the growth of the
// peak resident memory (VmHWM over VmRSS before the play) and the time from
// play() to the first message sample at the sink. Then the whole 4 h message
// is decoded through the playback device without a sink, to show that the
// memory stays flat to its very end. Prints the figures and whether the
// memory target (under 50 MB more for the 4 h message) holds.
//
// Usage: stream_memory_bench [seconds each message plays, default 1.5]

#include "telephony/sound_card_player.h"
#include "telephony/vox_playback_device.h"

#include "bench_signals.h"
#include "bench_sink.h"
#include "monitor_capture.h"
#include "pulse_null_sink.h"
#include "signal_match.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace VoiceBocxLib;

namespace
{

constexpr double kTargetMb = 50.0;

// A field of /proc/self/status, in kB.
qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak resident memory back to the current one (Linux 4.0 on).
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double mb(qint64 kb)
{
    return double(kb) / 1024.0;
}

// A message of `seconds`: a 10 s tone encoded once and repeated (any bytes
// are valid VOX, so the joins are just more sound).
QString makeMessage(const QString &folder, qint64 seconds)
{
    const QByteArray block = encodeVox(benchTone(10000));
    const QString path = folder + QStringLiteral("/N%1.vox").arg(seconds, 9, 10, QLatin1Char('0'));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    for (qint64 s = 0; s < seconds; s += 10)
        f.write(block);
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double playSeconds = argc > 1 ? std::max(0.2, std::atof(argv[1])) : 1.5;

    PulseNullSink server;
    const bool serverUp = server.start();
    MonitorCapture capture;
    if (!benchSinkReady(server, serverUp, capture))
        return 0;
    if (!resetPeak()) {
        std::printf("SKIPPED: the peak resident memory cannot be reset here\n");
        return 0;
    }
    QTemporaryDir dir;
    const QVector<qint16> head = [&] {
        QVector<qint16> s = decodeVoxBytes(encodeVox(benchTone(10000))).samples;
        s.resize(1600);
        return s;
    }();
    auto now = [&] { return double(capture.clock().nsecsElapsed()) / 1e6; };

    // The first sink a program opens also sets up Qt's audio back end: not
    // what a message costs, so a short play goes first.
    {
        const QString warmUp = makeMessage(dir.path(), 10);
        SoundCardPlayer player;
        QTimer::singleShot(200, &player, [&] { player.stop(); });
        player.play(warmUp);
        QFile::remove(warmUp);
    }

    std::printf("message  file MB  RSS before MB  peak growth MB  play->first sample ms  match\n");
    double growth4h = -1;
    QString path4h;
    const std::pair<const char *, qint64> lengths[] = {
        {"10 s", 10}, {"10 min", 600}, {"4 h", 4 * 3600}};
    for (const auto &[name, seconds] : lengths) {
        const QString path = makeMessage(dir.path(), seconds);
        SoundCardPlayer player;
        capture.settle(now());
        const qint64 mark = capture.samples().size();
        QTimer::singleShot(int(playSeconds * 1000), &player, [&] { player.stop(); });
        const qint64 before = statusKb("VmRSS");
        resetPeak();
        const double calledMs = now();
        player.play(path);
        const qint64 peak = statusKb("VmHWM");
        capture.settle(now() + 100);
        const QVector<qint16> heard = capture.samples().mid(mark);
        const SignalMatch match = findSignal(head, heard);
        const double firstMs = capture.arrivalMs(mark + match.lag) - calledMs;
        const double growth = mb(peak - before);
        std::printf("%-7s  %7.2f  %13.1f  %14.2f  %21.1f  %5.3f\n", name,
                    double(QFileInfo(path).size()) / 1e6, mb(before), growth, firstMs,
                    match.correlation);
        if (seconds == 4 * 3600) {
            growth4h = growth;
            path4h = path;
        } else {
            QFile::remove(path);
        }
    }

    // The whole 4 h message through the playback device, as the sink would
    // take it, without waiting four hours.
    VoxPlaybackDevice device;
    const qint64 before = statusKb("VmRSS");
    resetPeak();
    QElapsedTimer t;
    t.start();
    device.start(path4h, kVoxRate8k, 0, SoundCardPlayer::kLeadInMs, SoundCardPlayer::kQueueMs);
    QByteArray chunk(1600, '\0'); // 100 ms, what the sink takes at most at a time
    qint64 bytes = 0;
    while (const qint64 n = device.read(chunk.data(), chunk.size()))
        bytes += n;
    const double decodeGrowth = mb(statusKb("VmHWM") - before);
    std::printf("4 h decoded to its end without a sink: %.1f hours of sound in %.1f s, peak "
                "growth %.2f MB\n",
                double(bytes) / 2 / 8000 / 3600, double(t.elapsed()) / 1000, decodeGrowth);

    const double worst = std::max(growth4h, decodeGrowth);
    std::printf("memory target: under %.0f MB more for the 4 h message: %.2f MB, %s\n", kTargetMb,
                worst, worst >= 0 && worst < kTargetMb ? "met" : "NOT MET");
    return 0;
}

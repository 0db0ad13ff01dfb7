// Calls a baresip telephone on 127.0.0.1 over the SIP line and measures:
// - from the PlayFile call (file decoding included) to the first RTP packet
//   of the message leaving, over repeated short plays;
// - the spacing of the packets of one long message (60 s unless told):
//   mean, deviation from 20 ms, and the worst interval.
// With --busy-ui the user-interface thread is kept busy 40 ms out of every
// 50 ms meanwhile, as a heavy host would.
//
//     sip_pacing_bench [--seconds N] [--repeats N] [--busy-ui]

#include "telephony/sip/sip_voice_board.h"
#include "telephony/vox_decoder.h"

#include "baresip_phone.h"
#include "sip_bench_support.h"
#include "test_message.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace VoiceBocxLib;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 60;
    int repeats = 20;
    bool busyUi = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--repeats") && i + 1 < argc)
            repeats = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--busy-ui"))
            busyUi = true;
    }

    BaresipPhone phone;
    BaresipPhone::Options options;
    options.callSeconds = seconds + repeats + 60;
    if (!phone.start(options)) {
        std::printf("SKIPPED: the telephone does not start: %s\n", qPrintable(phone.failure()));
        return 0;
    }
    SipSettings settings;
    settings.localAddress = QStringLiteral("127.0.0.1");
    settings.localPort = 0;
    SipVoiceBoard board(settings, nullptr);
    board.setTrunkChannel(0);
    board.Dial(phone.address());
    if (board.CallStatus() != kCallAnswered) {
        std::printf("FAILED: the call was not answered: %s\n", qPrintable(board.lastCallOutcome()));
        return 1;
    }

    QTimer busy;
    if (busyUi) {
        QObject::connect(&busy, &QTimer::timeout, [] {
            QElapsedTimer spin;
            spin.start();
            while (spin.elapsed() < 40) {
            }
        });
        busy.start(50);
    }

    QTemporaryDir dir;
    const QString shortMessage = dir.path() + QStringLiteral("/short.vox");
    writeVoxFile(shortMessage, speechLikeMessage(200));
    QVector<double> firstPacketMs;
    for (int i = 0; i < repeats; ++i) {
        const qint64 called = steadyNowNs();
        board.PlayFile(shortMessage);
        const PlayTiming timing = board.lastPlayTiming();
        if (!timing.sentNs.isEmpty())
            firstPacketMs.append(double(timing.sentNs.first() - called) / 1e6);
    }
    std::printf("PlayFile to the first RTP packet (%d plays of 0.2 s%s): median %.3f ms, "
                "max %.3f ms\n",
                repeats, busyUi ? ", busy UI" : "", percentile(firstPacketMs, 0.5),
                percentile(firstPacketMs, 1.0));

    const QString longMessage = dir.path() + QStringLiteral("/long.vox");
    writeVoxFile(longMessage, speechLikeMessage(seconds * 1000));
    const qint64 called = steadyNowNs();
    board.PlayFile(longMessage);
    const PlayTiming timing = board.lastPlayTiming();
    QVector<double> intervals;
    for (qsizetype i = 1; i < timing.sentNs.size(); ++i)
        intervals.append(double(timing.sentNs[i] - timing.sentNs[i - 1]) / 1e6);
    double sum = 0;
    double squares = 0;
    for (double v : intervals) {
        sum += v;
        squares += (v - 20.0) * (v - 20.0);
    }
    QVector<double> deviations;
    for (double v : intervals)
        deviations.append(std::abs(v - 20.0));
    const double n = std::max<double>(1, intervals.size());
    std::printf("%d s message%s: %lld packets, first after %.3f ms; interval mean %.4f ms, "
                "jitter (rms deviation from 20 ms) %.3f ms, deviation p50 %.3f p99 %.3f max %.3f "
                "ms; whole play %.1f ms late\n",
                seconds, busyUi ? ", busy UI" : "", (long long)timing.sentNs.size(),
                timing.sentNs.isEmpty() ? 0.0 : double(timing.sentNs.first() - called) / 1e6,
                sum / n, std::sqrt(squares / n), percentile(deviations, 0.5),
                percentile(deviations, 0.99), percentile(deviations, 1.0),
                timing.sentNs.isEmpty()
                    ? 0.0
                    : double(timing.sentNs.last() - timing.sentNs.first()) / 1e6 -
                          20.0 * double(timing.sentNs.size() - 1));
    board.HangUp();
    return 0;
}

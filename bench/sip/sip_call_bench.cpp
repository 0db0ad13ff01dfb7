// One long call from the SIP line to a baresip telephone on 127.0.0.1, with
// what an operator does in it: beeps, messages, pauses, silences and
// resumes, over and over. The packets the line sends are captured on the
// loopback interface by tcpdump (the kernel's time stamps), and the
// benchmark prints:
// - drift: how far the packets' send times stray from their RTP timestamps
//   (max abs over the call; a telephone that plays out on its own clock
//   drops or stretches audio by that much);
// - the interval between consecutive packets: p50, p99, p99.9, max.
// Meanwhile every processor but one is kept busy by a spinning thread of
// this benchmark (--quiet: none), as on a loaded workstation. Beside the
// call a bare thread of the same real-time priority wakes every 20 ms and
// notes how late it woke: what the machine itself allows any sender.
//
//     sip_call_bench [--seconds N | --minutes N] [--quiet]
//
// The default call lasts 60 s; the targets are drift <= 20 ms and
// p99.9 <= 30 ms.

#include "telephony/sip/realtime_thread.h"
#include "telephony/sip/sip_voice_board.h"
#include "telephony/vox_decoder.h"

#include "baresip_phone.h"
#include "sip_bench_support.h"
#include "test_message.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <time.h>

using namespace VoiceBocxLib;

namespace
{

struct Captured {
    double atMs = 0;       // capture time
    quint32 timestamp = 0; // RTP timestamp
    quint16 sequence = 0;
    bool marker = false;
};

// The RTP packets from `port` in a pcap file written with nanosecond stamps
// on the loopback interface.
QVector<Captured> readCapture(const QString &path, quint16 port)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    if (all.size() < 24)
        return {};
    const quint32 magic = qFromLittleEndian<quint32>(all.constData());
    const double unit = magic == 0xa1b23c4d ? 1e-6 : 1e-3; // ns or us, in ms
    const quint32 link = qFromLittleEndian<quint32>(all.constData() + 20);
    const int linkBytes = link == 1 ? 14 : link == 113 ? 16 : 0; // Ethernet, Linux cooked
    QVector<Captured> packets;
    qsizetype at = 24;
    while (at + 16 <= all.size()) {
        const quint32 sec = qFromLittleEndian<quint32>(all.constData() + at);
        const quint32 frac = qFromLittleEndian<quint32>(all.constData() + at + 4);
        const quint32 length = qFromLittleEndian<quint32>(all.constData() + at + 8);
        const char *p = all.constData() + at + 16;
        at += 16 + length;
        if (at > all.size())
            break;
        const char *ip = p + linkBytes;
        const int ipBytes = (quint8(ip[0]) & 0x0f) * 4;
        const char *udp = ip + ipBytes;
        if (qsizetype(linkBytes + ipBytes + 8 + 12) > qsizetype(length) || ip[9] != 17 ||
            qFromBigEndian<quint16>(udp) != port)
            continue;
        const char *rtp = udp + 8;
        Captured c;
        c.atMs = double(sec) * 1000.0 + double(frac) * unit;
        c.marker = (quint8(rtp[1]) & 0x80) != 0;
        c.sequence = qFromBigEndian<quint16>(rtp + 2);
        c.timestamp = qFromBigEndian<quint32>(rtp + 4);
        packets.append(c);
    }
    return packets;
}

// A thread that wakes every 20 ms on absolute deadlines at the sender's
// priority and keeps its worst lateness, until `running` goes false.
struct Reference {
    double worstMs = 0;
    int over10 = 0;
    int wakes = 0;
    ThreadPriority priority = ThreadPriority::Normal;
};
void runReference(const std::atomic<bool> &running, Reference &out)
{
    out.priority = raiseThreadPriority();
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    while (running.load()) {
        due.tv_nsec += 20000000;
        if (due.tv_nsec >= 1000000000) {
            due.tv_nsec -= 1000000000;
            ++due.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double late =
            double(now.tv_sec - due.tv_sec) * 1e3 + double(now.tv_nsec - due.tv_nsec) / 1e6;
        out.worstMs = std::max(out.worstMs, late);
        out.over10 += late > 10.0;
        ++out.wakes;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 60;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::max(5, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--minutes") && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i])) * 60;
        else if (!std::strcmp(argv[i], "--quiet"))
            quiet = true;
    }
    const QString tcpdump = QStandardPaths::findExecutable(
        QStringLiteral("tcpdump"), {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin")});
    if (tcpdump.isEmpty()) {
        std::printf("SKIPPED: tcpdump is not installed\n");
        return 0;
    }

    BaresipPhone phone;
    BaresipPhone::Options options;
    options.callSeconds = seconds + 120;
    if (!phone.start(options)) {
        std::printf("SKIPPED: the telephone does not start: %s\n", qPrintable(phone.failure()));
        return 0;
    }
    SipSettings settings;
    settings.localAddress = QStringLiteral("127.0.0.1");
    settings.localPort = 0;
    SipVoiceBoard board(settings, nullptr);
    board.setTrunkChannel(0);

    QTemporaryDir dir;
    const QString capture = dir.path() + QStringLiteral("/call.pcap");
    QProcess dump;
    dump.setProcessChannelMode(QProcess::MergedChannels);
    dump.start(tcpdump, {QStringLiteral("-i"), QStringLiteral("lo"), QStringLiteral("-n"),
                         QStringLiteral("-U"), QStringLiteral("-B"), QStringLiteral("8192"),
                         QStringLiteral("--time-stamp-precision=nano"), QStringLiteral("-w"),
                         capture, QStringLiteral("udp and src port %1").arg(board.rtpPort())});
    const QDeadlineTimer listening(10000);
    QByteArray said;
    while (!said.contains("listening on") && !listening.hasExpired() &&
           dump.state() != QProcess::NotRunning) {
        dump.waitForReadyRead(100);
        said += dump.readAll();
    }
    if (!said.contains("listening on")) {
        std::printf("SKIPPED: tcpdump does not capture: %s\n", said.constData());
        return 0;
    }

    // Every processor but one busy, so the line shares the remaining one.
    std::atomic<bool> spinning{true};
    std::vector<std::thread> busy;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned c = 1; !quiet && c < cores; ++c) {
        busy.emplace_back([&spinning, c] {
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(c, &set);
            pthread_setaffinity_np(pthread_self(), sizeof set, &set);
            volatile quint64 n = 0;
            while (spinning.load(std::memory_order_relaxed))
                n = n + 1;
        });
    }

    board.Dial(phone.address());
    if (board.CallStatus() != kCallAnswered) {
        std::printf("FAILED: the call was not answered: %s\n", qPrintable(board.lastCallOutcome()));
        spinning = false;
        for (auto &t : busy)
            t.join();
        return 1;
    }

    std::atomic<bool> referenceRunning{true};
    Reference reference;
    std::thread referenceThread(runReference, std::cref(referenceRunning), std::ref(reference));

    const QString message = dir.path() + QStringLiteral("/message.vox");
    writeVoxFile(message, speechLikeMessage(6000));
    QElapsedTimer call;
    call.start();
    int plays = 0, beeps = 0, pauses = 0;
    while (call.elapsed() < qint64(seconds) * 1000) {
        // A new message: two beeps, played 2.5 s, paused, a silence, resumed
        // at second 2 to its end, three beeps, a silence.
        board.GenerateTone(800, -20, 1);
        board.GenerateTone(800, -20, 1);
        beeps += 2;
        QTimer::singleShot(2500, &app, [&board] { board.StopVoice(); });
        board.PlayFile(message);
        ++plays;
        ++pauses;
        runEventsMs(700);
        board.GenerateTone(800, -20, 2);
        board.PlayFile(message, 0, {}, 2);
        ++plays;
        for (int i = 0; i < 3; ++i)
            board.GenerateTone(800, -20, 1);
        beeps += 4;
        runEventsMs(300);
    }
    const ThreadPriority priority = board.senderPriority();
    board.HangUp();
    runEventsMs(200);
    referenceRunning = false;
    referenceThread.join();
    spinning = false;
    for (auto &t : busy)
        t.join();
    dump.terminate();
    dump.waitForFinished(5000);

    const QVector<Captured> packets = readCapture(capture, board.rtpPort());
    if (packets.size() < 2) {
        std::printf("FAILED: no packets captured\n");
        return 1;
    }
    QVector<double> intervals;
    double drift = 0;
    int markers = 0;
    int lost = 0;
    for (qsizetype i = 1; i < packets.size(); ++i) {
        intervals.append(packets[i].atMs - packets[i - 1].atMs);
        const double media = double(packets[i].timestamp - packets[0].timestamp) / 8.0;
        drift = std::max(drift, std::abs(packets[i].atMs - packets[0].atMs - media));
        markers += packets[i].marker;
        lost += quint16(packets[i].sequence - packets[i - 1].sequence) - 1;
    }
    const double p999 = percentile(intervals, 0.999);
    std::printf("call of %d s (%s, sender %s): %lld packets, %d plays, %d pauses, %d beeps; "
                "%d marker bits after the first, %d sequence gaps\n",
                seconds, quiet ? "quiet" : "other cores busy", priorityName(priority),
                (long long)packets.size(), plays, pauses, beeps, markers, lost);
    std::printf("drift of send times from timestamps: max abs %.3f ms (target <= 20)\n", drift);
    std::printf("packet interval: p50 %.3f p99 %.3f p99.9 %.3f max %.3f ms (target p99.9 <= 30)\n",
                percentile(intervals, 0.5), percentile(intervals, 0.99), p999,
                percentile(intervals, 1.0));
    std::printf("a bare %s thread beside it, waking every 20 ms: worst lateness %.3f ms, %d of "
                "%d wake-ups more than 10 ms late\n",
                priorityName(reference.priority), reference.worstMs, reference.over10,
                reference.wakes);
    const bool met = drift <= 20.0 && p999 <= 30.0;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return met ? 0 : 2;
}

// Measures how long it takes from a click on the control's Play button to
// the first RTP packet of the played audio leaving the workstation, with the
// control playing over the SIP line to a baresip telephone on 127.0.0.1. A
// play begins with the beep before the message, so the packet timed is the
// beep's first. Two cases, RUNS clicks each (default 20):
// - the call already up: the line is kept between plays;
// - a fresh call: the telephone has hung up after the previous play, so the
//   click dials; split into click -> INVITE, INVITE -> answer and
//   answer -> first packet.
// The click is timed just before it is delivered; the INVITE, the answer and
// the packet are timed on the line's thread as they happen
// (SipVoiceBoard::takeLineTiming), on the same steady clock.
//
//     sip_click_bench [RUNS]

#include "control/message_control.h"
#include "control/message_control_core.h"

#include "baresip_phone.h"
#include "sip_bench_support.h"
#include "test_message.h"

#include "bench/bench_workstation.h"
#include "shared/prompter.h"
#include "telephony/sip/sip_voice_board.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace VoiceBocxLib;

namespace
{

// The line's moments of one click, in milliseconds from the click (negative:
// did not happen).
struct Click {
    double dialMs = -1;
    double answeredMs = -1;
    double firstPacketMs = -1;
};

double msAfter(qint64 ns, qint64 originNs)
{
    return ns == 0 ? -1 : double(ns - originNs) / 1e6;
}

void printFigure(const char *what, QVector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty()) {
        std::printf("  %-34s no valid run\n", what);
        return;
    }
    std::printf("  %-34s median %8.2f ms, min %8.2f ms, max %8.2f ms\n", what,
                values[values.size() / 2], values.first(), values.last());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    BaresipPhone phone;
    BaresipPhone::Options options;
    // The telephone hangs up when its own sound runs out: the call of the
    // first case has to last all its runs.
    options.callSeconds = runs * 5 + 60;
    if (!phone.start(options)) {
        std::printf("SKIPPED: the telephone does not start: %s\n", qPrintable(phone.failure()));
        return 0;
    }
    modVNQRN::ConsolePrompter prompter;
    modVNQRN::setAppPrompter(&prompter);

    // Plays over the SIP line, straight to the telephone's address, with a
    // message of one second.
    QTemporaryDir dir;
    const BenchWorkstation workstation(dir.path());
    workstation.set("Zuzidivuz", "SoundCard", QStringLiteral("0"));
    workstation.set("Messages", "Msgport", QStringLiteral("1"));
    workstation.set("Messages", "ConnectString", phone.address());
    workstation.set("VoiceBoard", "Driver", QStringLiteral("sip"));
    workstation.set("VoiceBoard", "WaveDevice", QStringLiteral("none"));
    workstation.set("VoiceBoard", "SipAddress", QStringLiteral("127.0.0.1"));
    workstation.set("VoiceBoard", "SipPort", QStringLiteral("0"));
    workstation.set("VoiceBoard", "SipRtpPorts", QStringLiteral("20000-40000"));
    workstation.writeMessage(speechLikeMessage(1000));

    VNOrvak::MessageControl control;
    control.InitializeForProgram(QStringLiteral("VN-Bench"));
    control.InitializeForID(QStringLiteral("42"));
    auto *play = control.findChild<QPushButton *>(QStringLiteral("cmdPlayAll"));
    SipVoiceBoard *board = SipVoiceBoard::last();
    if (!board) {
        std::printf("FAILED: the control has no SIP line (see the error log)\n");
        return 1;
    }

    // One click, played to its end: the click returns when the playback
    // (beep, message, closing beeps) is over.
    auto click = [&] {
        board->takeLineTiming();
        const qint64 clickedNs = steadyNowNs();
        play->click();
        const LineTiming timing = board->takeLineTiming();
        return Click{msAfter(timing.dialNs, clickedNs), msAfter(timing.answeredNs, clickedNs),
                     msAfter(timing.firstPlayNs, clickedNs)};
    };
    const QString established = QStringLiteral("CALL_ESTABLISHED");

    // The first click makes the call that the first case keeps.
    click();
    if (!control.core().mbConnected || phone.count(established) != 1) {
        std::printf("FAILED: the first click did not leave a call up\n");
        return 1;
    }

    std::printf("Play click -> first RTP packet of the beep before the message, %d runs each\n",
                runs);
    QVector<double> upFirst;
    for (int run = 0; run < runs; ++run) {
        runEventsMs(300);
        const Click c = click();
        const bool valid = c.dialMs < 0 && c.firstPacketMs >= 0 && phone.count(established) == 1;
        std::printf("call up, run %d: %.2f ms%s\n", run + 1, c.firstPacketMs,
                    valid ? "" : " (not counted: the call did not stay up)");
        if (valid)
            upFirst.append(c.firstPacketMs);
    }

    QVector<double> freshFirst, toDial, dialToAnswer, answerToFirst, rest;
    for (int run = 0; run < runs; ++run) {
        // The operator puts the telephone down: the control closes its route
        // and the next click dials.
        const int calls = phone.count(established);
        phone.hangUp();
        const QDeadlineTimer deadline(5000);
        while (control.core().mbConnected && !deadline.hasExpired())
            runEventsMs(10);
        runEventsMs(300);
        const Click c = click();
        const bool valid = c.dialMs >= 0 && c.answeredMs >= c.dialMs &&
                           c.firstPacketMs >= c.answeredMs && phone.count(established) == calls + 1;
        std::printf("fresh call, run %d: %.2f ms (click -> INVITE %.2f, INVITE -> answer %.2f, "
                    "answer -> first packet %.2f)%s\n",
                    run + 1, c.firstPacketMs, c.dialMs, c.answeredMs - c.dialMs,
                    c.firstPacketMs - c.answeredMs, valid ? "" : " (not counted)");
        if (!valid)
            continue;
        freshFirst.append(c.firstPacketMs);
        toDial.append(c.dialMs);
        dialToAnswer.append(c.answeredMs - c.dialMs);
        answerToFirst.append(c.firstPacketMs - c.answeredMs);
        rest.append(c.firstPacketMs - (c.answeredMs - c.dialMs));
    }

    std::printf("call already up:\n");
    printFigure("click -> first packet", upFirst);
    std::printf("fresh call:\n");
    printFigure("click -> first packet", freshFirst);
    printFigure("INVITE -> answer (dial -> answer)", dialToAnswer);
    printFigure("the rest (total - dial -> answer)", rest);
    printFigure("  of it click -> INVITE", toDial);
    printFigure("  of it answer -> first packet", answerToFirst);

    control.Terminate();
    phone.waitFor(QStringLiteral("CALL_CLOSED"), phone.count(established), 2000);
    modVNQRN::setAppPrompter(nullptr);
    return 0;
}

// Incoming RTP packets of a call, as the far end (or anyone else) sends
// them: arbitrary datagrams reach a real RTP stream on 127.0.0.1 through its
// socket and libre's RTP decoding, while a play waits for a stop key or a
// recording takes the audio in. Telephone keys come out only as the keys
// there are, a play stops on a key only after one of its stop keys arrived,
// a recording grows by no more than the packets brought, and packets from
// another address are counted and ignored.
//
// Input: one byte of set-up (bit 0 PCMA, bit 1 telephone events on, bits
// 2-3 the job: none, a play, a recording), one byte of the events' payload
// type, then packets, each a length byte, a byte whose bit 0 sends it from
// a stranger's address, and the datagram.

#include "fuzz_support.h"

#include "telephony/sip/libre.h"
#include "telephony/sip/rtp_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using namespace VoiceBocxLib;

namespace
{

constexpr auto kStopKeys = u"0123456789#ABCD";
constexpr auto kAllKeys = u"0123456789*#ABCD";

int boundSocket(sockaddr_in &address)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("rtp_packet_fuzzer: socket");
        std::abort();
    }
    return fd;
}

void stopLoop(void *)
{
    re_cancel();
}

// One turn of the line's event loop: what has arrived is taken in.
void runLineOnce()
{
    struct tmr stop;
    tmr_init(&stop);
    tmr_start(&stop, 0, stopLoop, nullptr);
    re_main(nullptr);
    tmr_cancel(&stop);
}

struct Line {
    Line()
    {
        FuzzWorkstation::instance();
        if (libre_init() != 0)
            std::abort();
        farEnd = boundSocket(farEndAddress);
        stranger = boundSocket(strangerAddress);
        stream = std::make_unique<RtpStream>(
            RtpStream::Handlers{[this](QChar key) { keys += key; },
                                [this](quint64 job, const LineResult &result) {
                                    finished.append({job, result});
                                }});
        struct sa local;
        sa_set_str(&local, "127.0.0.1", 0);
        if (stream->open(local, 30000, 39998) != 0)
            std::abort();
        sa_set_str(&remote, "127.0.0.1", ntohs(farEndAddress.sin_port));
        streamAddress = farEndAddress;
        streamAddress.sin_port = htons(stream->port());
    }

    void drain() const
    {
        char buffer[2048];
        while (::recv(farEnd, buffer, sizeof buffer, 0) > 0) {
        }
    }

    int farEnd = -1;
    int stranger = -1;
    sockaddr_in farEndAddress{};
    sockaddr_in strangerAddress{};
    sockaddr_in streamAddress{};
    struct sa remote;
    std::unique_ptr<RtpStream> stream;
    QString keys;
    QList<std::pair<quint64, LineResult>> finished;
    quint64 nextJob = 1;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Line line;
    if (size < 2)
        return 0;
    const SipCodec codec = (data[0] & 1) ? SipCodec::Pcma : SipCodec::Pcmu;
    const int eventPt = (data[0] & 2) ? data[1] & 0x7f : -1;
    const int job = (data[0] >> 2) & 3;
    line.drain();
    line.keys.clear();
    line.finished.clear();
    line.stream->start(line.remote, codec, eventPt);
    const quint64 id = line.nextJob++;
    if (job == 1)
        line.stream->play(id, std::make_shared<const QVector<qint16>>(kCallRate * 60, qint16(900)),
                          0, QString::fromUtf16(kStopKeys), 0);
    else if (job == 2)
        line.stream->record(id, 0, 0);
    const quint64 foreignBefore = line.stream->foreignPackets();

    qint64 fromFarEnd = 0;
    qint64 strangers = 0;
    qint64 bytes = 0;
    size_t at = 2;
    while (at + 2 <= size) {
        const size_t length = std::min<size_t>(data[at], size - at - 2);
        const bool fromStranger = data[at + 1] & 1;
        const uint8_t *packet = data + at + 2;
        at += 2 + length;
        const int fd = fromStranger ? line.stranger : line.farEnd;
        if (::sendto(fd, packet, length, 0, reinterpret_cast<const sockaddr *>(&line.streamAddress),
                     sizeof line.streamAddress) < 0)
            continue;
        (fromStranger ? strangers : fromFarEnd) += 1;
        bytes += qint64(length);
        runLineOnce();
    }
    const LineResult result = line.stream->stopJob(id);
    line.stream->stop(LineEnding::HangUp);
    runLineOnce();

    for (const QChar key : line.keys)
        FUZZ_CHECK(QStringView(kAllKeys).contains(key));
    FUZZ_CHECK(line.keys.size() <= fromFarEnd);
    FUZZ_CHECK(line.stream->foreignPackets() - foreignBefore <= quint64(strangers));
    if (job == 1 && result.ending == LineEnding::StopKey) {
        bool stopKeyArrived = false;
        for (const QChar key : line.keys)
            stopKeyArrived = stopKeyArrived || QStringView(kStopKeys).contains(key);
        FUZZ_CHECK(stopKeyArrived);
    }
    if (job == 2) {
        // Each packet brings its payload, after a gap of at most a second
        // filled with silence.
        FUZZ_CHECK(result.recorded.size() == result.samples);
        FUZZ_CHECK(result.samples <= bytes + fromFarEnd * kCallRate);
    } else {
        FUZZ_CHECK(result.recorded.isEmpty());
    }
    return 0;
}

// A second workstation program for the message-line tests, run as a child
// process: it calls the operator's telephone on the simulated board of the
// workstation in LOCAL_FOLDER and then either stays on the line until it is
// killed, or hangs up and exits.
//
// usage: line_child LOCAL_FOLDER PROGRAM hold|call
//   hold  claim the line, print "claimed", run until killed; an instant
//         clock makes the second before dialling take no time
//   call  with the system clock: print "dialling", call (the pause before
//         dialling and "AnsPlayDelay" run in real time), print the
//         milliseconds the call took on the monotonic and on the wall
//         clock, hang up and exit 0

#include "telephony/clsPhoneHelp.h"

#include "shared/clock.h"
#include "shared/environment.h"

#include <QCoreApplication>

#include <cstdio>

namespace
{

class InstantClock final : public modVNQRN::Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_ms; }
    void sleepMs(int ms) override { m_ms += ms; }

private:
    qint64 m_ms = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4 || (args[3] != u"hold" && args[3] != u"call")) {
        std::fputs("usage: line_child LOCAL_FOLDER PROGRAM hold|call\n", stderr);
        return 2;
    }
    modVNQRN::gsLocalPath = args[1];
    modVNQRN::gsLocalIni = args[1] + u"QelLocal.ini";
    modVNQRN::gsDataPath = args[1];
    const bool hold = args[3] == u"hold";
    InstantClock instant;
    if (hold)
        modVNQRN::setAppClock(&instant);

    clsPhoneHelp phone;
    if (!hold) {
        std::puts("dialling");
        std::fflush(stdout);
    }
    const qint64 start = modVNQRN::appClock().monotonicMs();
    const QDateTime wallStart = QDateTime::currentDateTime();
    if (!phone.ConnectPhone(args[2]))
        return 1;
    if (!hold) {
        std::printf("%lld %lld\n",
                    static_cast<long long>(modVNQRN::appClock().monotonicMs() - start),
                    static_cast<long long>(wallStart.msecsTo(QDateTime::currentDateTime())));
        phone.DisconnectCall();
        return 0;
    }
    std::puts("claimed");
    std::fflush(stdout);
    return app.exec();
}

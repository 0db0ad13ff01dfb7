// vnhost: the sample switchboard console that hosts the VN-Orvak message control.

#include "demo_tour.h"
#include "event_log_pane.h"
#include "host_options.h"
#include "host_window.h"
#include "logging_prompter.h"
#include "phone_route.h"
#include "tour_runner.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace VNOrvak;

namespace
{

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The scripted tour: no box waits for anybody, every step is printed, and
// the event log follows at the end.
int runTour(QApplication &app, const HostOptions &options)
{
    HostWindow window;
    LoggingPrompter prompter(window.eventLog());
    window.show();
    const QString folder = QDir(options.tourFolder).absolutePath();
    print(u"Tour of the sample console; screenshots go to " + folder);

    bool succeeded = false;
    if (window.start(options.programName)) {
        TourRunner runner(window, folder);
        addDemoTour(runner, window);
        QObject::connect(&runner, &TourRunner::progress, &print);
        QObject::connect(&runner, &TourRunner::finished, &app, [&](bool ok) {
            succeeded = ok;
            app.quit();
        });
        runner.start();
        app.exec();
    }
    window.shutdown();

    print(QStringLiteral("\nEvent log:"));
    for (const QString &entry : window.eventLog().entries())
        print(u"  " + entry);
    print((succeeded ? QStringLiteral("\nThe tour reached every step. Screenshots: ")
                     : QStringLiteral("\nThe tour did not finish. Screenshots so far: ")) +
          folder);
    return succeeded ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vnhost"));
    const HostOptions options = parseHostOptions(QApplication::arguments().mid(1));
    if (options.help) {
        std::fputs(qPrintable(hostUsage()), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "vnhost: %s\n%s", qPrintable(options.error), qPrintable(hostUsage()));
        return 2;
    }
    if (!options.phoneAddress.isEmpty()) {
        QString why;
        if (!usePhoneAt(options.phoneAddress, why)) {
            std::fprintf(stderr, "vnhost: --phone %s: %s\n", qPrintable(options.phoneAddress),
                         qPrintable(why));
            return 2;
        }
    }
    if (!options.tourFolder.isEmpty())
        return runTour(app, options);

    HostWindow window;
    window.show();
    window.start(options.programName);
    return app.exec();
}

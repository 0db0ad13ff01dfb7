// vnhost: the sample switchboard console that hosts the VN-Orvak message control.

#include "demo_tour.h"
#include "event_log_pane.h"
#include "host_options.h"
#include "host_window.h"
#include "operator_prompter.h"
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
    window.setPhoneAddress(options.phoneAddress);
    // Boxes are logged, not shown: nobody is there to close them. The band
    // shows as it would.
    OperatorPrompter prompter(window.eventLog(), window.banner(),
                              [](const PlainProblem &, modVNQRN::MsgBoxIcon, const QString &) {});
    QObject::connect(&window, &HostWindow::folderFine, &prompter, &OperatorPrompter::endProblemsAt);
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

// Whether a window can be shown: a display, or a platform chosen by hand.
bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char **argv)
{
    // The command line is checked before Qt looks for a display, so --help
    // and mistakes are answered anywhere.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const HostOptions options = parseHostOptions(args);
    if (options.help) {
        std::fputs(qPrintable(hostUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("vnhost (VN-Orvak) " VNORVAK_VERSION);
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
    if (!haveDisplay()) {
        if (options.tourFolder.isEmpty()) {
            std::fputs("vnhost: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
                       "--tour DIR runs the scripted tour offscreen\n",
                       stderr);
            return 2;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vnhost"));
    if (!options.tourFolder.isEmpty())
        return runTour(app, options);

    HostWindow window;
    window.setPhoneAddress(options.phoneAddress);
    OperatorPrompter prompter(window.eventLog(), window.banner());
    QObject::connect(&window, &HostWindow::folderFine, &prompter, &OperatorPrompter::endProblemsAt);
    window.show();
    window.start(options.programName);
    return app.exec();
}

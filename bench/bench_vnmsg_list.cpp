// bench_vnmsg_list: `vnmsg list --json` against `vnmsg scan` on the same
// folder, each a fresh process as an administrator runs it.
//
// usage: bench_vnmsg_list [--count N] [--runs R]
//   a folder of N message files (default 100000), R runs of each command
//   (default 5), alternating; prints the median wall and CPU time of each and
//   the ratio of list to scan (the target is under 2).

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
};

// Runs `args` with its output thrown away; its wall time and the CPU time
// of the child.
Cost runOnce(const std::vector<QByteArray> &args)
{
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Cost cost;
    cost.wallMs = double(timer.nsecsElapsed()) / 1e6;
    cost.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s %s failed (status %d)\n", argv[0], argv[1], status);
    return cost;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// `count` message files: random ids, two in three heard, times over a month.
void fillFolder(const QString &folder, int count)
{
    QRandomGenerator rng(42);
    QSet<QByteArray> names;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    while (names.size() < count) {
        QByteArray name = rng.bounded(3) ? "MA" : "NA";
        name += QByteArray::number(rng.bounded(1000000)).rightJustified(9, '0');
        name += char('A' + rng.bounded(26));
        name += ".vox";
        if (names.contains(name))
            continue;
        names.insert(name);
        QFile file(folder + QString::fromLatin1(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", name.constData());
        file.write(QByteArray(int(rng.bounded(2000)), 'x'));
        file.close();
        file.setFileTime(QDateTime::fromSecsSinceEpoch(now - rng.bounded(30 * 86400)),
                         QFileDevice::FileModificationTime);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int count = 100000;
    int runs = 5;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--count")
            count = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }
    QTemporaryDir scratch;
    // The workstation's folders: inside the scratch folder, never the user's.
    qputenv("VNORVAK_LOCAL_APPDATA", QFile::encodeName(scratch.path() + u"/appdata"));
    qputenv("VNORVAK_MACHINE_DIR", QFile::encodeName(scratch.path() + u"/machine"));
    qputenv("VNORVAK_SYSTEM_DIR", QFile::encodeName(scratch.path() + u"/system"));
    QDir().mkpath(scratch.path() + u"/appdata/Qrn/Vantel");
    QFile ini(scratch.path() + u"/appdata/Qrn/Vantel/QelLocal.ini");
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write the settings file");
    ini.write("[Zuzidivuz]\nVnPath=" + QFile::encodeName(scratch.path()) + "/inst\n");
    ini.close();
    const QString folder = scratch.path() + u"/messages/";
    QDir().mkpath(folder);
    std::printf("making %d message files in %s ...\n", count, qPrintable(folder));
    fillFolder(folder, count);

    const QByteArray vnmsg = VNMSG_PATH;
    const QByteArray dir = QFile::encodeName(folder);
    const std::vector<QByteArray> scan = {vnmsg, "scan", dir};
    const std::vector<QByteArray> list = {vnmsg, "list", dir, "--json"};
    runOnce(scan); // warm the caches
    runOnce(list);
    std::vector<double> scanWall, scanCpu, listWall, listCpu;
    for (int r = 0; r < runs; ++r) {
        const Cost s = runOnce(scan);
        const Cost l = runOnce(list);
        scanWall.push_back(s.wallMs);
        scanCpu.push_back(s.cpuMs);
        listWall.push_back(l.wallMs);
        listCpu.push_back(l.cpuMs);
    }
    std::printf("%d files, %d runs each (medians)\n", count, runs);
    std::printf("  vnmsg scan DIR           wall %8.1f ms   cpu %8.1f ms\n", median(scanWall),
                median(scanCpu));
    std::printf("  vnmsg list DIR --json    wall %8.1f ms   cpu %8.1f ms\n", median(listWall),
                median(listCpu));
    std::printf("  list / scan              wall %8.2f      cpu %8.2f   (target: under 2)\n",
                median(listWall) / median(scanWall), median(listCpu) / median(scanCpu));
    return 0;
}

// bench_scan: the cost of one poll of a messages folder against the cost of
// merely reading the folder and each file's modification time.
//
// usage: bench_scan [--dir PARENT] [--stray] [COUNT...]   (default counts 1000 10000 100000)
//   --stray adds one file that is not a message ("Notes.txt"), which puts the
//   ordering on its exact, slower path.

#include "control/message_control_core.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// A folder of `count` messages: random ids, a tenth of them shared by a few
// busy entities, two in three heard, times spread over the last month.
void fillFolder(const QString &folder, int count)
{
    QRandomGenerator rng(count);
    QSet<QByteArray> names;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    while (names.size() < count) {
        const quint32 id = rng.bounded(10) == 0 ? 1000 + rng.bounded(8) : rng.bounded(999999999u);
        const char state = rng.bounded(3) == 0 ? 'N' : 'M';
        const char key = static_cast<char>('A' + rng.bounded(26));
        const QByteArray name = QByteArray(1, state) + 'A' +
                                QByteArray::number(id).rightJustified(9, '0') + key + ".vox";
        if (names.contains(name))
            continue;
        names.insert(name);
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(path.constData());
            std::exit(1);
        }
        const timespec when[2] = {{now, 0}, {now - rng.bounded(30 * 86400), 0}};
        futimens(fd, when);
        ::close(fd);
    }
}

// Reading the folder and each file's modification time, nothing else.
qint64 bareListing(const QString &folder)
{
    qint64 newest = 0;
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    while (const dirent *entry = readdir(dir)) {
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0)
            newest = std::max<qint64>(newest, st.st_mtim.tv_sec);
    }
    closedir(dir);
    return newest;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    QString parent;
    if (args.size() >= 2 && args[0] == u"--dir") {
        parent = args[1];
        args = args.mid(2);
    }
    const bool stray = !args.isEmpty() && args[0] == u"--stray";
    if (stray)
        args.removeFirst();
    QList<int> counts = {1000, 10000, 100000};
    if (!args.isEmpty()) {
        counts.clear();
        for (const QString &a : args)
            counts.append(a.toInt());
    }

    for (const int count : counts) {
        QTemporaryDir dir(parent.isEmpty() ? QDir::tempPath() + u"/bench_scan-XXXXXX"
                                           : parent + u"/bench_scan-XXXXXX");
        fillFolder(dir.path(), count);
        if (stray)
            QFile(dir.path() + u"/Notes.txt").open(QIODevice::WriteOnly);
        const int runs = count >= 100000 ? 7 : 21;
        std::vector<double> ticks;
        std::vector<double> listings;
        qint32 messages = 0;
        bareListing(dir.path()); // warm the caches for both
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            volatile qint64 newest = bareListing(dir.path());
            (void)newest;
            listings.push_back(timer.nsecsElapsed() / 1e6);

            VNOrvak::MessageControlCore core;
            core.setTimerEnabled(false);
            core.store().msMsgDir = dir.path() + u'/';
            timer.restart();
            core.tmrCalls_Timer();
            ticks.push_back(timer.nsecsElapsed() / 1e6);
            messages = core.store().mlMsgCnt;
        }
        const double tick = median(ticks);
        const double listing = median(listings);
        std::printf("files=%d%s messages=%d tick_ms=%.1f listing_ms=%.1f ratio=%.2f\n", count,
                    stray ? "+stray" : "", messages, tick, listing, tick / listing);
        std::fflush(stdout);
    }
    return 0;
}

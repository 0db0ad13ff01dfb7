// bench_scan: the cost of a poll of the messages folder against the cost of
// merely listing the folder with each file's modification time, measured side
// by side in the same run on the same folder.
//
// usage: bench_scan [--dir PARENT] [--million] [--stray] [--no-sshfs] [COUNT...]
//   default counts 1000 10000 100000; --million adds 1000000.
//   --stray adds files that are no messages ("Notes.txt", "NA0000015.vox").
//   --no-sshfs leaves out the column measured through an sshfs mount.
//
// For each folder it prints, paired run by run (medians):
//   bare     `find DIR -maxdepth 1 -type f -printf '%f %T@\n'`, a process of its own
//   process  a fresh process that polls once, as `vnmsg scan` does
//   poll     the next poll of a control that has polled the folder before
// with wall and CPU times, their ratios to find, the file-system calls of
// each process (strace -c: getdents64 and the stat family) and the stats of a
// first and of a next poll per file, the polling process's peak memory, and
// find and the next poll through an sshfs mount of the folder, each after the
// mount's caches expired.

#include "control/message_control_core.h"

#include "shared/clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

// A folder of `count` messages: random ids, a tenth of them shared by a few
// busy entities, two in three heard, times spread over the last month.
void fillFolder(const QString &folder, int count, bool stray)
{
    QRandomGenerator rng(static_cast<quint32>(count));
    QSet<QByteArray> names;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QList<QByteArray> extra;
    if (stray)
        extra = {"Notes.txt", "NA0000015.vox", "NA000000001 .vox"};
    while (names.size() < count + extra.size()) {
        QByteArray name;
        if (names.size() < extra.size()) {
            name = extra[names.size()];
        } else {
            const quint32 id =
                rng.bounded(10) == 0 ? 1000 + rng.bounded(8) : rng.bounded(999999999u);
            const char state = rng.bounded(3) == 0 ? 'N' : 'M';
            const char key = static_cast<char>('A' + rng.bounded(26));
            name = QByteArray(1, state) + 'A' + QByteArray::number(id).rightJustified(9, '0') +
                   key + ".vox";
        }
        if (names.contains(name))
            continue;
        names.insert(name);
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(path.constData());
            std::exit(1);
        }
        const qint64 when = now - rng.bounded(30 * 86400);
        const timespec times[2] = {{when, 0}, {when, 0}};
        futimens(fd, times);
        ::close(fd);
    }
}

struct ChildCost {
    double wallMs = 0;
    double cpuMs = 0;
    long maxRssKb = 0;
};

// Runs `argv` with its output thrown away; its wall and CPU time.
ChildCost runChild(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildCost cost;
    cost.wallMs = timer.nsecsElapsed() / 1e6;
    cost.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    cost.maxRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_scan: %s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return cost;
}

std::vector<std::string> findCommand(const QString &folder)
{
    return {"find",      QFile::encodeName(folder).toStdString(),
            "-maxdepth", "1",
            "-type",     "f",
            "-printf",   "%f %T@\n"};
}

std::vector<std::string> pollCommand(const QString &self, const QString &folder, int polls)
{
    return {QFile::encodeName(self).toStdString(), "--poll-child",
            QFile::encodeName(folder).toStdString(), std::to_string(polls)};
}

// The calls of a process by name, from strace -c.
std::map<std::string, long> syscallCounts(std::vector<std::string> argv)
{
    const std::string out =
        QDir::tempPath().toStdString() + "/bench_scan_strace." + std::to_string(getpid());
    argv.insert(argv.begin(), {"strace", "-c", "-f", "-o", out});
    runChild(argv);
    std::map<std::string, long> counts;
    QFile file(QString::fromStdString(out));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            bool ok = false;
            if (f.size() >= 5 && f[3].toLong(&ok) >= 0 && ok)
                counts[f.last().toStdString()] = f[3].toLong();
        }
    }
    QFile::remove(QString::fromStdString(out));
    return counts;
}

long stats(const std::map<std::string, long> &c)
{
    long n = 0;
    for (const char *name : {"newfstatat", "statx", "fstat", "stat", "lstat", "fstatat64"}) {
        const auto it = c.find(name);
        if (it != c.end())
            n += it->second;
    }
    return n;
}

long calls(const std::map<std::string, long> &c, const char *name)
{
    const auto it = c.find(name);
    return it == c.end() ? 0 : it->second;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double cpuNowMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Steady polls of one control over `folder`: median wall and CPU of `runs`
// polls after a first one.
std::pair<double, double> steadyPolls(const QString &folder, int runs, qint32 *messages,
                                      unsigned pauseUs = 0)
{
    VNOrvak::MessageControlCore core;
    core.setTimerEnabled(false);
    core.store().msMsgDir = folder + u'/';
    core.tmrCalls_Timer();
    std::vector<double> walls, cpus;
    for (int run = 0; run < runs; ++run) {
        if (pauseUs)
            usleep(pauseUs);
        QElapsedTimer timer;
        const double cpu = cpuNowMs();
        timer.start();
        core.tmrCalls_Timer();
        walls.push_back(timer.nsecsElapsed() / 1e6);
        cpus.push_back(cpuNowMs() - cpu);
    }
    if (messages)
        *messages = core.store().mlMsgCnt;
    return {median(walls), median(cpus)};
}

// The polling process of the "process" column: `polls` polls of one control.
int pollChild(const QString &folder, int polls)
{
    VNOrvak::MessageControlCore core;
    core.setTimerEnabled(false);
    core.store().msMsgDir = folder + u'/';
    for (int i = 0; i < polls; ++i)
        core.tmrCalls_Timer();
    std::printf("%d\n", core.store().mlMsgCnt);
    return 0;
}

// An sshfs mount of a folder through sshd on the loopback address, with the
// soak test's caches (names and attributes kept 1-2 s).
class SshfsMount
{
public:
    explicit SshfsMount(const QString &server)
    {
        if (geteuid() != 0) {
            m_reason = QStringLiteral("not root (sshd needs it)");
            return;
        }
        if (!QFile::exists(QStringLiteral("/usr/sbin/sshd")) ||
            std::system("command -v sshfs >/dev/null 2>&1") != 0) {
            m_reason = QStringLiteral("sshfs or openssh-server not installed");
            return;
        }
        const QString t = m_dir.path();
        const QString script =
            QStringLiteral("T=%1; exec 2>$T/setup.log; set -e; mkdir -p $T/mnt /run/sshd;"
                           "ssh-keygen -q -t ed25519 -N '' -f $T/hostkey;"
                           "ssh-keygen -q -t ed25519 -N '' -f $T/clientkey;"
                           "printf \"Port %3\\nListenAddress 127.0.0.1\\nHostKey "
                           "$T/hostkey\\nPidFile $T/sshd.pid\\nAuthorizedKeysFile "
                           "$T/clientkey.pub\\nStrictModes no\\nPasswordAuthentication "
                           "no\\nPermitRootLogin prohibit-password\\nSubsystem sftp "
                           "internal-sftp\\nUsePAM no\\n\" > $T/sshd_config;"
                           "/usr/sbin/sshd -f $T/sshd_config -E $T/sshd.log;"
                           "for i in 1 2 3 4 5 6 7 8 9 10; do sshfs -p %3 -o "
                           "IdentityFile=$T/clientkey,StrictHostKeyChecking=no,"
                           "UserKnownHostsFile=/dev/null,dcache_timeout=2,attr_timeout=1,"
                           "entry_timeout=1 root@127.0.0.1:%2 $T/mnt 2>>$T/setup.log && "
                           "exit 0; sleep 0.3; done; exit 1")
                .arg(t, server, QString::number(m_port));
        m_started = true;
        if (std::system(QFile::encodeName(script).constData()) != 0) {
            QFile log(t + u"/setup.log");
            log.open(QIODevice::ReadOnly);
            m_reason = QStringLiteral("sshfs could not mount: ") +
                       QString::fromLocal8Bit(log.readAll()).simplified();
            return;
        }
        m_mounted = true;
    }
    ~SshfsMount()
    {
        const QString t = m_dir.path();
        if (m_mounted)
            std::system(QFile::encodeName(u"fusermount -u " + t + u"/mnt").constData());
        if (m_started)
            std::system(
                QFile::encodeName(u"test -f " + t + u"/sshd.pid && kill $(cat " + t + u"/sshd.pid)")
                    .constData());
    }
    SshfsMount(const SshfsMount &) = delete;
    SshfsMount &operator=(const SshfsMount &) = delete;

    bool mounted() const { return m_mounted; }
    QString reason() const { return m_reason; }
    QString mountPoint() const { return m_dir.path() + u"/mnt"; }

private:
    QTemporaryDir m_dir;
    int m_port = 2290 + static_cast<int>(getpid() % 50);
    bool m_started = false;
    bool m_mounted = false;
    QString m_reason;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 3 && args[0] == u"--poll-child")
        return pollChild(args[1], args[2].toInt());

    QString parent = QDir::tempPath();
    bool stray = false;
    bool useSshfs = true;
    QList<int> counts;
    bool million = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--dir" && i + 1 < args.size())
            parent = args[++i];
        else if (args[i] == u"--stray")
            stray = true;
        else if (args[i] == u"--no-sshfs")
            useSshfs = false;
        else if (args[i] == u"--million")
            million = true;
        else
            counts.append(args[i].toInt());
    }
    if (counts.isEmpty())
        counts = {1000, 10000, 100000};
    if (million)
        counts.append(1000000);
    const QString self = QCoreApplication::applicationFilePath();
    const bool haveStrace = std::system("command -v strace >/dev/null 2>&1") == 0;

    QTemporaryDir root(parent + u"/bench_scan-XXXXXX");
    std::unique_ptr<SshfsMount> sshfs;
    if (useSshfs) {
        sshfs = std::make_unique<SshfsMount>(root.path());
        if (!sshfs->mounted())
            std::printf("sshfs column skipped: %s\n", qPrintable(sshfs->reason()));
    } else {
        std::printf("sshfs column skipped: --no-sshfs\n");
    }

    std::printf("%8s %8s | %9s %9s %9s | %7s %7s %9s %9s | %9s %9s %9s %9s %8s %8s | %6s | %9s "
                "%9s %6s\n",
                "files", "messages", "find_ms", "proc_ms", "poll_ms", "proc/f", "poll/f",
                "procCPU/f", "pollCPU/f", "find_stat", "find_getd", "proc_stat", "proc_getd",
                "stat/f1", "stat/f2", "RSS_MB", "ssh_find", "ssh_poll", "ratio");
    for (const int count : counts) {
        const QString folder = root.path() + u"/f" + QString::number(count);
        QDir().mkpath(folder);
        fillFolder(folder, count, stray);
        const int runs = count >= 1000000 ? 3 : count >= 100000 ? 7 : 15;

        // Paired runs, the order switched each time.
        std::vector<double> findWall, findCpu, procWall, procCpu;
        long maxRss = 0;
        runChild(findCommand(folder)); // warm the caches for both
        for (int run = 0; run < runs; ++run) {
            for (int which = 0; which < 2; ++which) {
                if ((which == 0) == (run % 2 == 0)) {
                    const ChildCost c = runChild(findCommand(folder));
                    findWall.push_back(c.wallMs);
                    findCpu.push_back(c.cpuMs);
                } else {
                    const ChildCost c = runChild(pollCommand(self, folder, 1));
                    procWall.push_back(c.wallMs);
                    procCpu.push_back(c.cpuMs);
                }
            }
        }
        // The memory of a control that keeps polling the folder.
        maxRss = runChild(pollCommand(self, folder, 3)).maxRssKb;
        qint32 messages = 0;
        const auto [pollWall, pollCpu] = steadyPolls(folder, runs, &messages);

        // Whole processes, as an administrator would count them; then the
        // stats of the first and of a next poll alone, per file (the process
        // without a poll, and with one, taken off).
        long findStat = -1, findGetdents = -1, procStat = -1, procGetdents = -1;
        double firstPerFile = -1, nextPerFile = -1;
        if (haveStrace) {
            const auto f = syscallCounts(findCommand(folder));
            const auto p0 = syscallCounts(pollCommand(self, folder, 0));
            const auto p1 = syscallCounts(pollCommand(self, folder, 1));
            const auto p2 = syscallCounts(pollCommand(self, folder, 2));
            findStat = stats(f);
            findGetdents = calls(f, "getdents64");
            procStat = stats(p1);
            procGetdents = calls(p1, "getdents64");
            firstPerFile = double(stats(p1) - stats(p0)) / count;
            nextPerFile = double(stats(p2) - stats(p1)) / count;
        }

        // Through sshfs: the bare listing and a control's next poll.
        QString sshFind = QStringLiteral("-"), sshPoll = QStringLiteral("-"),
                sshRatio = QStringLiteral("-");
        if (sshfs && sshfs->mounted() && count <= 100000) {
            const QString remote = sshfs->mountPoint() + u"/f" + QString::number(count);
            const int sshRuns = count >= 100000 ? 1 : 3;
            std::vector<double> walls;
            // Each run after the caches expired, as polls 20 s apart find them.
            constexpr unsigned kExpired = 2500000;
            for (int run = 0; run < sshRuns; ++run) {
                usleep(kExpired);
                walls.push_back(runChild(findCommand(remote)).wallMs);
            }
            const double f = median(walls);
            const double p = steadyPolls(remote, sshRuns, nullptr, kExpired).first;
            sshFind = QString::number(f, 'f', 1);
            sshPoll = QString::number(p, 'f', 1);
            sshRatio = QString::number(p / f, 'f', 2);
        } else if (sshfs && sshfs->mounted()) {
            sshRatio = QStringLiteral("(>100k)");
        }

        const double fw = median(findWall), fc = median(findCpu);
        std::printf("%8d %8d | %9.1f %9.1f %9.1f | %7.2f %7.2f %9.2f %9.2f | %9ld %9ld %9ld %9ld "
                    "%8.3f %8.3f | %6.1f | %9s %9s %6s\n",
                    count, messages, fw, median(procWall), pollWall, median(procWall) / fw,
                    pollWall / fw, median(procCpu) / fc, pollCpu / fc, findStat, findGetdents,
                    procStat, procGetdents, firstPerFile, nextPerFile, maxRss / 1024.0,
                    qPrintable(sshFind), qPrintable(sshPoll), qPrintable(sshRatio));
        std::fflush(stdout);
        QDir(folder).removeRecursively();
    }
    return 0;
}

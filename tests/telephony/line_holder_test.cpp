// The message line's holder: a claim left by a workstation that died is
// taken over, a live one never is; and the waits of a real call survive the
// wall clock being set back.

#include "phone_fixture.h"

#include "telephony/line_holder.h"

#include "shared/error_log.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QSysInfo>
#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace modVNQRN;
using namespace VNOrvakTelephony;
using namespace Qt::StringLiterals;

namespace
{

using LineHolderTest = PhoneFixture;

// A child process that has ended: reaped (its id is free) or not (a zombie).
pid_t endedChild(bool reap)
{
    const pid_t pid = fork();
    if (pid == 0) {
        pause();
        _exit(0);
    }
    kill(pid, SIGKILL);
    if (reap) {
        waitpid(pid, nullptr, 0);
        return pid;
    }
    // Bounded: the kernel makes it a zombie at once.
    for (int i = 0; i < 5000 && !QFile::exists(u"/proc/" + QString::number(pid)); ++i)
        QThread::usleep(1000);
    for (int i = 0; i < 5000; ++i) {
        QFile stat(u"/proc/" + QString::number(pid) + u"/stat");
        if (stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z "))
            break;
        QThread::usleep(1000);
    }
    return pid;
}

bool startChild(QProcess &child, const QString &local, const QString &program, const QString &mode)
{
    child.setProgram(QStringLiteral(LINE_CHILD_PATH));
    child.setArguments({local, program, mode});
    child.start();
    return child.waitForStarted(10000);
}

QString readLine(QProcess &child)
{
    while (!child.canReadLine()) {
        if (!child.waitForReadyRead(20000))
            return QString();
    }
    return QString::fromUtf8(child.readLine()).trimmed();
}

const QString kBusy = u"The message line is being used by program Child\r\n"
                      u"Please return to Child and hangup phone or exit"_s;

} // namespace

TEST_F(LineHolderTest, OnlyAClaimOfThisHostsDeadProcessIsStale)
{
    const LineHolder self = thisProcessHolder(u"Switchboard"_s);
    ASSERT_EQ(self.pid, getpid());
    ASSERT_FALSE(self.host.isEmpty());
    const pid_t reaped = endedChild(true);
    const pid_t zombie = endedChild(false);

    const auto with = [&](auto change) {
        LineHolder h = self;
        change(h);
        return h;
    };
    const struct {
        const char *what;
        LineHolder holder;
        bool gone;
    } cases[] = {
        {"free line", LineHolder{}, false},
        {"this very process", self, false},
        {"entry without a process id", with([](LineHolder &h) { h.pid = 0; }), false},
        {"entry of another host", with([&](LineHolder &h) {
             h.pid = reaped;
             h.host += u"-b";
         }),
         false},
        {"process ended and reaped", with([&](LineHolder &h) { h.pid = reaped; }), true},
        {"process killed, not yet reaped", with([&](LineHolder &h) { h.pid = zombie; }), true},
        {"process id taken by another process", with([](LineHolder &h) { h.started = u"1"_s; }),
         true},
        {"claim from before the last boot", with([](LineHolder &h) { h.bootId = u"old-boot"_s; }),
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(holderIsGone(c.holder), c.gone);
    }
    waitpid(zombie, nullptr, 0);
}

TEST_F(LineHolderTest, ClaimAndReleaseRecordTheHolderBesideTheEntry)
{
    connected();
    const LineHolder held = readLineHolder(gsLocalIni);
    EXPECT_EQ(held, thisProcessHolder(u"Switchboard"_s));
    EXPECT_EQ(msgPortUsage(), u"Switchboard");
    helper().DisconnectCall();
    EXPECT_EQ(readLineHolder(gsLocalIni), LineHolder{});
}

// A workstation killed in the middle of a call (SIGKILL: no hang-up, no
// clean-up) leaves its claim; the next start on the same host takes the line
// over and says so in the error log, while a live holder still blocks.
TEST_F(LineHolderTest, AKilledWorkstationsClaimIsTakenOverAfterARestart)
{
    QProcess child;
    ASSERT_TRUE(startChild(child, local, u"Child"_s, u"hold"_s)) << qPrintable(child.errorString());
    ASSERT_EQ(readLine(child), u"claimed") << child.readAllStandardError().constData();
    const qint64 childPid = child.processId();
    EXPECT_EQ(readLineHolder(gsLocalIni).pid, childPid);

    EXPECT_FALSE(helper().ConnectPhone(u"Reception"_s));
    EXPECT_EQ(prompter.texts(), QStringList{kBusy});

    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    restart();
    prompter.boxes.clear();

    EXPECT_TRUE(helper().ConnectPhone(u"Reception"_s));
    EXPECT_TRUE(prompter.boxes.isEmpty()) << qPrintable(prompter.texts().join(u'|'));
    EXPECT_EQ(readLineHolder(gsLocalIni), thisProcessHolder(u"Reception"_s));
    const QString takeOver = u"The message line was held by program Child (process "_s +
                             QString::number(childPid) + u" on " + QSysInfo::machineHostName() +
                             u"), which has ended; Reception takes it over";
    // The log wraps its lines at 100 characters.
    EXPECT_TRUE(todaysErrorLog().remove(u"'\r\n   '"_s).contains(takeOver))
        << qPrintable(todaysErrorLog());
    EXPECT_TRUE(portLogTexts().contains(takeOver));
}

// libfaketime sets the wall clock of a real workstation process back an hour
// while it waits to dial and waits the answer delay; the monotonic clock,
// which a real clock change leaves alone, is left alone here too.
TEST_F(LineHolderTest, ARealCallFinishesWhenTheWallClockIsSetBackAnHour)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "libfaketime cannot be preloaded ahead of the AddressSanitizer run-time; "
                    "the build without sanitizers runs this test";
#endif
    QString preload;
    for (const char *lib : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                            "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
                            "/usr/lib/faketime/libfaketime.so.1"}) {
        if (QFile::exists(QString::fromLatin1(lib)))
            preload = QString::fromLatin1(lib);
    }
    if (preload.isEmpty())
        GTEST_SKIP() << "libfaketime is not installed (Debian package libfaketime)";

    writeIni("[TelMon]\r\nAnsPlayDelay=2\r\n");
    const QString offset = ws.root() + u"faketime";
    TestWorkstation::writeFile(offset, "+0\n");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LD_PRELOAD"_s, preload);
    env.insert(u"FAKETIME_TIMESTAMP_FILE"_s, offset);
    env.insert(u"FAKETIME_NO_CACHE"_s, u"1"_s);
    env.insert(u"DONT_FAKE_MONOTONIC"_s, u"1"_s);
    child.setProcessEnvironment(env);
    ASSERT_TRUE(startChild(child, local, u"Child"_s, u"call"_s));
    ASSERT_EQ(readLine(child), u"dialling") << child.readAllStandardError().constData();
    // "Making Call=" goes to the port log just before the second's pause.
    const QString portLog = VNOrvakTelephony::portLogPath(3);
    for (int i = 0; i < 4000 && !TestWorkstation::readFile(portLog).contains("Making Call="); ++i)
        QThread::msleep(5);
    ASSERT_TRUE(TestWorkstation::readFile(portLog).contains("Making Call="));
    // Within the three seconds of waiting that follow, replaced in one step
    // so that libfaketime never reads a half-written offset.
    QSaveFile step(offset);
    ASSERT_TRUE(step.open(QIODevice::WriteOnly));
    step.write("-1h\n");
    ASSERT_TRUE(step.commit());

    const bool finished = child.waitForFinished(60000);
    if (!finished)
        child.kill();
    ASSERT_TRUE(finished) << "the call hung after the wall clock was set back";
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
    const QStringList took = readLine(child).split(u' ');
    ASSERT_EQ(took.size(), 2);
    EXPECT_GE(took[0].toLongLong(), 3000);
    EXPECT_LT(took[0].toLongLong(), 30000);
    // The step did happen during the call.
    EXPECT_LT(took[1].toLongLong(), -3500000);
}

#include "pulse_null_sink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

PulseNullSink::~PulseNullSink()
{
    if (!m_running)
        return;
    int id = 0;
    QFile pidFile(m_dir.path() + QStringLiteral("/xdg/pulse/pid"));
    if (pidFile.open(QIODevice::ReadOnly))
        id = pidFile.readAll().trimmed().toInt();
    if (!pactl({QStringLiteral("exit")}) && id > 0)
        ::kill(id, SIGTERM);
    // Let the server leave its folder before the folder is removed.
    QElapsedTimer waited;
    waited.start();
    while (id > 0 && ::kill(id, 0) == 0 && waited.elapsed() < 3000)
        QThread::msleep(10);
}

bool PulseNullSink::pactl(const QStringList &args, int timeoutMs) const
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PulseNullSink::start()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty()) {
        m_failure = QStringLiteral("pulseaudio or pactl is not installed");
        return false;
    }
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = m_dir.path();
    QDir().mkpath(root + QStringLiteral("/xdg"));
    QDir().mkpath(root + QStringLiteral("/home"));
    QFile::setPermissions(root + QStringLiteral("/xdg"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = root + QStringLiteral("/pulse.sock");
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/xdg")).toUtf8());
    qputenv("HOME", (root + QStringLiteral("/home")).toUtf8());
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toUtf8());

    const int rc = QProcess::execute(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=yes"),
         QStringLiteral("--exit-idle-time=-1"),
         QStringLiteral("--log-target=file:") + root + QStringLiteral("/pa.log"),
         QStringLiteral("-L"),
         QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket,
         QStringLiteral("-L"),
         QStringLiteral("module-null-sink sink_name=vsink rate=8000 channels=1 "
                        "sink_properties=device.description=VirtualSink"),
         QStringLiteral("-L"), QStringLiteral("module-always-sink")});
    if (rc != 0) {
        m_failure = QStringLiteral("pulseaudio did not start (exit code %1)").arg(rc);
        return false;
    }
    m_running = true;
    QElapsedTimer waited;
    waited.start();
    while (!pactl({QStringLiteral("info")}, 1000)) {
        if (waited.elapsed() > 5000) {
            m_failure = QStringLiteral("pulseaudio started but does not answer");
            return false;
        }
        QThread::msleep(50);
    }
    if (!pactl({QStringLiteral("set-default-sink"), QStringLiteral("vsink")})) {
        m_failure = QStringLiteral("the null sink could not be made the default");
        return false;
    }
    return true;
}

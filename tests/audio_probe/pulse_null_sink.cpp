#include "pulse_null_sink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

PulseNullSink::~PulseNullSink()
{
    // Let the server leave its folder before the folder is removed.
    m_server.terminate();
    m_server.waitForFinished(3000);
}

bool PulseNullSink::pactl(const QStringList &args, int timeoutMs) const
{
    QProcess p;
    p.start(u"pactl"_s, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PulseNullSink::start()
{
    if (QStandardPaths::findExecutable(u"pulseaudio"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"pactl"_s).isEmpty()) {
        m_failure = u"pulseaudio or pactl is not installed"_s;
        return false;
    }
    const QString root = m_dir.path();
    if (!m_dir.isValid() || !QDir().mkpath(root + u"/xdg") || !QDir().mkpath(root + u"/home")) {
        m_failure = u"no temporary folder"_s;
        return false;
    }
    QFile::setPermissions(root + u"/xdg",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = root + u"/pulse.sock";
    qputenv("XDG_RUNTIME_DIR", (root + u"/xdg").toUtf8());
    qputenv("HOME", (root + u"/home").toUtf8());
    qputenv("PULSE_SERVER", (u"unix:" + socket).toUtf8());

    // In the foreground, as a child of this process: the destructor ends it.
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start(u"pulseaudio"_s,
                   {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
                    u"--log-target=file:"_s + root + u"/pa.log", u"-L"_s,
                    u"module-native-protocol-unix auth-anonymous=1 socket="_s + socket, u"-L"_s,
                    u"module-null-sink sink_name=vsink rate=8000 channels=1 "
                    u"sink_properties=device.description=VirtualSink"_s,
                    u"-L"_s, u"module-always-sink"_s});
    QElapsedTimer waited;
    waited.start();
    while (!pactl({u"info"_s}, 1000)) {
        if (m_server.waitForFinished(0) || waited.elapsed() > 5000) {
            m_failure = m_server.state() == QProcess::NotRunning
                            ? u"pulseaudio did not start (exit code %1)"_s.arg(m_server.exitCode())
                            : u"pulseaudio started but does not answer"_s;
            return false;
        }
        QThread::msleep(50);
    }
    if (!pactl({u"set-default-sink"_s, u"vsink"_s})) {
        m_failure = u"the null sink could not be made the default"_s;
        return false;
    }
    return true;
}
